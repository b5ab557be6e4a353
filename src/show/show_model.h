#pragma once

// A show as its file describes it, checked field by field but not yet
// drawn: the pages, what each board shows on them, and how long. The
// timeline (show_timeline.h) is made from it once every picture has been
// read and every text drawn.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "picture/convert_options.h"

namespace tablica::show {

enum class ContentKind {
  Text,        // one or two lines, still (a clock when they hold {time:}/{date:})
  Picture,     // any picture, still
  Scroll,      // one line moving right to left across the board
  Animation,   // a picture with several frames, each for its own delay
  Zones,       // the board split into rectangles, each with a content of its own
  Departures,  // the next departures of some stops, from a timetable and live feeds
  Data,        // one still line with a value out of a JSON document
  Rss,         // the titles of an RSS or Atom feed as a scrolling line
};

// Where live content takes its data from, and how often it asks. A file
// (a timetable, a live feed) is kept as its path resolved against the
// show's folder (UTF-8); an address as written. The defaults depend on the
// kind (LiveModel::For).
struct LiveModel {
  std::string feed;                 // Departures: the timetable (a zip)
  std::string realtime;             // Departures: trip updates; empty: none
  std::string alerts;               // Departures: alerts; empty: none
  std::vector<std::string> stops;   // Departures: stop ids (a station: its platforms)
  std::vector<std::string> routes;  // Departures: only these routes; empty: all
  int rows = 2;                     // Departures: rows at most
  std::string url;                  // Data, Rss: an http or https address
  std::string pointer;              // Data: where the value is (JSON Pointer)
  std::string text = "{value}";     // Data: the line, {value} filled in
  int items = 5;                    // Rss: titles shown
  int every = 30;                   // seconds between asks
  std::string none;                 // shown before a first answer, or with no departures

  // A model with the defaults of `kind`.
  static LiveModel For(ContentKind kind);
  friend bool operator==(const LiveModel&, const LiveModel&) = default;
};

inline LiveModel LiveModel::For(ContentKind kind) {
  LiveModel model;
  model.every = kind == ContentKind::Departures ? 30 : kind == ContentKind::Data ? 300 : 600;
  model.none = kind == ContentKind::Departures ? "Brak odjazdów" : "Brak danych";
  return model;
}

inline bool IsLive(ContentKind kind) {
  return kind == ContentKind::Departures || kind == ContentKind::Data || kind == ContentKind::Rss;
}

struct ZoneModel;

// Where a picture or an animation comes from: a file, or its bytes carried
// in the show itself (a data: address).
struct PictureSource {
  std::filesystem::path path;  // resolved against the show's folder
  std::string data;            // the decoded bytes when inline
  bool Inline() const { return path.empty(); }
  friend bool operator==(const PictureSource&, const PictureSource&) = default;
};

// What one board shows on a page.
struct ContentModel {
  ContentKind kind = ContentKind::Text;
  // The text lines (Text), the one line (Scroll), the picture options
  // (Picture, Animation) and the text options (font, size, align).
  picture::ConvertOptions options;
  std::string scroll;            // Scroll: the line
  PictureSource picture;         // Picture, Animation
  double speed = 16;             // Scroll: dots a second
  std::optional<int> times;      // Scroll: passes, Animation: loops
  std::vector<ZoneModel> zones;  // Zones: drawn in order, a later one over an earlier
  LiveModel live;                // Departures, Data, Rss

  bool Moving() const;
  friend bool operator==(const ContentModel&, const ContentModel&) = default;
};

// A rectangle of the board, in dots, with its own content (never zones).
struct ZoneModel {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
  ContentModel content;
  friend bool operator==(const ZoneModel&, const ZoneModel&) = default;
};

inline bool ContentModel::Moving() const {
  if (kind == ContentKind::Zones) {
    return std::any_of(zones.begin(), zones.end(),
                       [](const ZoneModel& zone) { return zone.content.Moving(); });
  }
  // Live content has no length of its own (an RSS line scrolls for as long
  // as its page shows).
  return kind == ContentKind::Scroll || kind == ContentKind::Animation;
}

// A length given in seconds as a show keeps it: whole milliseconds, at
// least one (the file and the window round alike, so what is saved plays).
inline std::chrono::milliseconds LengthOfSeconds(double seconds) {
  return std::chrono::milliseconds(std::max<long long>(1, std::llround(seconds * 1000)));
}

// How a page comes onto the board: at once, or over a short while in which
// it pushes the page before out to the left or upwards, or is uncovered
// over it from the left edge (show_transition.h).
enum class Transition { None, SlideLeft, SlideUp, Wipe };

// One day, or a run of days with both ends included.
struct DateRange {
  std::chrono::year_month_day first;
  std::chrono::year_month_day last;
  friend bool operator==(const DateRange&, const DateRange&) = default;
};

// When a page is due, by the local wall clock (show_when.h); a part left
// unset holds always. A time range that passes midnight belongs to the day
// it starts on.
struct WhenRule {
  std::vector<int> days;         // ISO weekdays, 1 (Monday) to 7, ascending; empty: every day
  std::optional<int> from;       // minutes since midnight; unset: from midnight
  std::optional<int> to;         // minutes since midnight, up to 1440; unset: until midnight
  std::vector<DateRange> dates;  // empty: any date
  friend bool operator==(const WhenRule&, const WhenRule&) = default;
};

struct PageModel {
  ContentModel first;
  std::optional<ContentModel> second;  // the board behind CAN
  // How long the page shows; unset: as long as its moving content takes
  // (`times` passes or loops), or for ever on a show's only page.
  std::optional<std::chrono::milliseconds> seconds;
  std::optional<WhenRule> when;          // unset: always due
  std::optional<Transition> transition;  // unset: the show's
  friend bool operator==(const PageModel&, const PageModel&) = default;
};

// A local-time range in which the board is kept blank; `to` before `from`
// passes midnight. Minutes since midnight.
struct BlankRange {
  int from = 0;
  int to = 0;
  // Whether minute `minute` of the day (0..1439) falls in the range.
  bool Contains(int minute) const {
    return from <= to ? minute >= from && minute < to : minute >= from || minute < to;
  }
  friend bool operator==(const BlankRange&, const BlankRange&) = default;
};

struct ShowModel {
  int repeat = 0;  // passes of the whole show; 0: for ever
  std::vector<BlankRange> blank;
  std::optional<std::chrono::milliseconds> refresh;  // still pages sent again this often
  std::vector<PageModel> pages;
  // Shown while no page is due (never has a `when`); unset: the board is blank.
  std::optional<PageModel> otherwise;
  Transition transition = Transition::None;  // of pages that name none
  friend bool operator==(const ShowModel&, const ShowModel&) = default;
};

}  // namespace tablica::show
