#pragma once

// One board's content on a page, read and drawn, ready to give its dots for
// any moment: still text (a clock when it holds {time:}/{date:}), a still
// picture, a scrolling line, an animation. What a content shows is a
// function of the time into its page and of the local time only; a content
// keeps what it has drawn only to draw it faster the next time.

#include <QDateTime>
#include <QImage>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "board/board_dots.h"
#include "show/show_error.h"
#include "show/show_model.h"

namespace tablica::show {

struct Drawn {
  BoardDots dots;
  // Polish, a sentence, when the content could not be drawn for this
  // moment (a clock whose text no longer fits: the dots are then the last
  // good ones) or a live source fails; zones give one sentence a line.
  std::string problem;
};

// One source of live content as a status lists it: the address or file,
// seconds since its last good answer (unset before the first), and its
// last fault (Polish; empty when none).
struct SourceReport {
  std::string name;
  std::optional<long long> age;
  std::string fault;
};

// The sources of one live content; asked from any thread, and kept (by
// whoever lists them) after the content itself is gone.
class SourceWatch {
 public:
  virtual ~SourceWatch() = default;
  virtual std::vector<SourceReport> Report() const = 0;
};

class BoardContent {
 public:
  virtual ~BoardContent() = default;
  // How long one pass of a scrolling line or one loop of an animation
  // takes; zero for still content.
  virtual std::chrono::milliseconds PassLength() const { return std::chrono::milliseconds(0); }
  // Passes or loops a page without `seconds` shows (the content's `times`).
  virtual int Times() const { return 1; }
  // Whether the dots move (a new frame whenever the line can take one);
  // live content may move without a length of its own.
  virtual bool Moving() const { return PassLength().count() > 0; }
  // Whether the dots follow the local time (a clock).
  virtual bool FollowsClock() const { return false; }
  // The dots `into` the page at local time `local`.
  virtual Drawn DotsAt(std::chrono::milliseconds into, const QDateTime& local) = 0;
  // The content begins to play: live content asks its sources from now on
  // (never for a preview or a check that only draws it once).
  virtual void Start() {}
  // Adds the sources of live content to `watches`.
  virtual void Watches(std::vector<std::shared_ptr<const SourceWatch>>& /*watches*/) const {}
};

// The content a model describes, read and drawn once at local time `now`
// (so that a clock's text is known to fit). On failure returns null and
// what is wrong: the Polish reason, a whole sentence, and the zone it is in
// (the caller names the page and the board).
std::unique_ptr<BoardContent> MakeContent(const ContentModel& model, const QDateTime& now,
                                          ShowError& error);

// Content that shows `dots` and nothing else (a blank board).
std::unique_ptr<BoardContent> MakeStill(const BoardDots& dots);

// Animations with more frames are refused.
inline constexpr int kMaxAnimationFrames = 10'000;

}  // namespace tablica::show
