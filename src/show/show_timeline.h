#pragma once

// What the board shows at any moment of a show: a function of the time
// since the show started and of the local time (clocks, blank ranges), with
// the moment it may next change. Made from a ShowModel once every picture is
// read and every text drawn, so a show that has a timeline can be played to
// its end without a refusal.
//
// A show whose pages have times (`when`) is followed page change by page
// change instead: at each the next page due at that moment comes, and while
// none is due the show's `otherwise` page (or a blank board) shows until
// one is, looked at every minute. Such a timeline keeps where it is, so it
// is asked in order of time; asked for an earlier moment it starts again.

#include <QDateTime>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "board/board_dots.h"
#include "show/board_content.h"
#include "show/show_error.h"
#include "show/show_model.h"

namespace tablica::show {

using std::chrono::milliseconds;

struct Moment {
  bool ended = false;  // the show's passes are over
  bool blank = false;  // inside a blank range
  int page = -1;       // 0-based; -1 when blank or ended
  bool moving =
      false;  // a scrolling line or an animation: a new frame whenever the line can take one
  BoardDots first;
  std::optional<BoardDots> second;  // the board behind CAN, on pages that have one
  // For still moments, the time since the start at which the board may
  // show something else (the page ends, a clock's second or a blank range's
  // minute comes); for moving ones, the moment itself.
  milliseconds nextChange{0};
  std::vector<std::string> problems;  // Polish, when a clock's text could not be drawn
};

class ShowTimeline {
 public:
  struct Page {
    std::unique_ptr<BoardContent> first;
    std::unique_ptr<BoardContent> second;      // may be null
    std::optional<milliseconds> length;        // unset: for ever
    std::optional<WhenRule> when;              // unset: always due
    Transition transition = Transition::None;  // how the page comes on
  };
  ShowTimeline(std::vector<Page> pages, const ShowModel& model,
               std::optional<Page> otherwise = std::nullopt);

  // The board `elapsed` after the start, at local time `local`.
  Moment At(milliseconds elapsed, const QDateTime& local);

  // One pass through every page (when every page is due); unset when a
  // page shows for ever.
  std::optional<milliseconds> PassLength() const { return pass_; }
  std::optional<milliseconds> Refresh() const { return refresh_; }
  int Repeat() const { return repeat_; }
  // Plays `passes` passes (0: for ever) instead of the show's own repeat.
  void SetRepeat(int passes) { repeat_ = passes; }
  // Blank ranges apply (they do unless switched off, e.g. for a preview).
  void UseBlankRanges(bool use) { useBlank_ = use; }
  bool UsesSecondBoard() const { return usesSecond_; }
  int PageCount() const { return static_cast<int>(pages_.size()); }
  // The show begins to play: its live content asks its sources from now on
  // (a timeline made only to check or preview a show asks nothing).
  void Start();
  // The sources of the show's live content, to list while it plays (they
  // answer from any thread, also once the timeline is gone).
  std::vector<std::shared_ptr<const SourceWatch>> Watches() const;

 private:
  // Where a show with times is: on a page (from `start`), or on none (the
  // `otherwise` page or blank) until `recheck`.
  struct Place {
    int page = -1;  // -1: no page is due
    milliseconds start{0};
  };
  // The content and its place in a show with times.
  Moment Follow(milliseconds elapsed, const QDateTime& local, Moment moment);
  // Moves on through page changes up to `elapsed`.
  void CatchUp(milliseconds elapsed, const QDateTime& local);
  // Goes to `page` (-1: none due) at `at`, local time `localAt`.
  void Enter(int page, milliseconds at, const QDateTime& localAt);
  // The next page due at `local`, from the one after the last shown; -1
  // when none is (or the passes are over: ended_).
  int NextDue(const QDateTime& local);
  // The page shown at `place` (null: blank).
  Page* PageAt(const Place& place);

  std::vector<Page> pages_;
  std::optional<Page> otherwise_;
  bool scheduled_ = false;  // some page has times
  // A show with times: where it is, where it was, and its passes.
  bool begun_ = false;
  milliseconds asked_{0};  // the moment asked for last
  bool ended_ = false;
  Place place_;
  std::optional<Place> left_;  // the place before, left at place_.start: for a transition
  milliseconds recheck_{0};    // no page due: when to look again
  int next_ = 0;               // the page looked at first at the next change
  int passes_ = 0;
  bool shownInPass_ = false;
  std::vector<milliseconds> starts_;  // each page's start into a pass
  std::optional<milliseconds> pass_;
  std::optional<milliseconds> refresh_;
  std::vector<BlankRange> blank_;
  int repeat_ = 0;
  bool useBlank_ = true;
  bool usesSecond_ = false;
};

struct TimelineResult {
  std::unique_ptr<ShowTimeline> timeline;
  ShowError error;  // the page and what could not be read or drawn
};

// Reads every picture and draws every text of `model` (clocks at local time
// `now`); the first that cannot be refuses the whole show.
TimelineResult MakeTimeline(const ShowModel& model, const QDateTime& now);

// The board kept blank for ever, and the second board too when asked.
std::unique_ptr<ShowTimeline> MakeBlankTimeline(bool secondBoard);

// A show of one page that shows `content` for ever (a picture or text sent
// as it is; a notification).
ShowModel OnePageShow(const ContentModel& content);

}  // namespace tablica::show
