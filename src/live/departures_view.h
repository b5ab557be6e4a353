#pragma once

// What a board shows of a stop's departures: one row each (route, where it
// goes, when), the text for a stop with none, the alerts of the stop and
// its routes, and the mark that says the times are the timetable's only
// (the live feed failing or older than 90 seconds).

#include <chrono>
#include <string>
#include <vector>

#include "live/timetable.h"

namespace tablica::live {

// The live feed counts as current this long after its own time stamp.
inline constexpr Instant kLiveFeedMaxAge = 90;
// The mark of timetable times shown where live times were expected.
inline constexpr const char* kTimetableMark = "rozkł.";

struct DepartureRow {
  std::string route, headsign;
  std::string when;  // "teraz", "3 min", "14:05"; "odwołany"; "+2" after a delay
  std::string Text() const { return route + " " + headsign + " " + when; }
  friend bool operator==(const DepartureRow&, const DepartureRow&) = default;
};

struct DeparturesView {
  std::vector<DepartureRow> rows;
  std::string none;  // the page's text when there are no rows
  std::string mark;  // kTimetableMark, or empty with live times
  std::vector<std::string> alerts;
  // The rows as text lines, or the "none" text; the mark after the first.
  std::vector<std::string> Lines() const;
};

// When `departure` leaves, as a board says it at `now`: under a minute
// "teraz", then "N min", from 60 minutes on the clock time in the stop's
// zone; a delay of a minute or more adds "+N" (minutes late); a cancelled
// trip "odwołany".
std::string WhenText(const Departure& departure, Instant now);

// The view of `departures` at `now`; `liveCurrent` false when a live feed
// is configured but failing or stale (the mark is then set).
DeparturesView MakeView(const std::vector<Departure>& departures, Instant now, bool liveCurrent,
                        const std::string& none, std::vector<std::string> alerts = {});

// Whether a live feed stamped `stamp` is current at `now`.
inline bool LiveFeedCurrent(Instant stamp, Instant now) {
  return stamp != 0 && now - stamp <= kLiveFeedMaxAge;
}

}  // namespace tablica::live
