#pragma once

// A live feed of an operator (protocol buffers): trip updates (delays,
// times, cancelled trips, skipped stops) and alerts, decoded once and kept
// in a form the departures can be looked up in.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

#include "live/timetable.h"

namespace tablica::live {

struct StopUpdate {
  enum class Relation { Scheduled, Skipped, NoData };
  std::optional<std::uint32_t> sequence;
  std::string stop;
  std::optional<Instant> arrivalTime, departureTime;
  std::optional<int> arrivalDelay, departureDelay;
  Relation relation = Relation::Scheduled;
};

struct TripUpdate {
  std::string trip;
  std::string startDate;  // YYYYMMDD; empty: the trip running now
  std::string startTime;  // HH:MM:SS, for trips repeated at a frequency
  bool cancelled = false;
  std::optional<int> delay;  // the whole trip's, where no stop says otherwise
  std::vector<StopUpdate> stops;
};

struct Alert {
  std::vector<std::pair<Instant, Instant>> periods;  // empty: always; 0 is open
  std::vector<std::string> stops, routes, trips, agencies;
  std::string header, description;  // Polish where given, else the first
  bool ActiveAt(Instant at) const;
};

struct RealtimeFeed {
  Instant timestamp = 0;
  std::unordered_multimap<std::string, TripUpdate> trips;
  std::vector<Alert> alerts;
};

// Decodes a feed's bytes; the Polish reason when they are refused.
std::variant<RealtimeFeed, std::string> DecodeRealtime(std::string_view bytes);

// What the live feed says of one departure.
struct LiveCall {
  bool known = false;  // the feed has this trip on this day
  bool cancelled = false;
  bool skipped = false;
  std::optional<Instant> time;  // the live departure
  std::optional<int> delay;
};

// The live state of `trip`'s call `call` on the service day starting at
// `dayStart` (`day` days since 1970), the trip started at `tripStart` of
// that day (for trips repeated at a frequency): the call's own update, else
// the delay of the latest update before it carried on, else the trip's.
LiveCall LookUpLive(const RealtimeFeed& feed, const Timetable& timetable,
                    const Timetable::Trip& trip, std::size_t call, std::int32_t day,
                    Instant dayStart, std::int32_t tripStart, std::int32_t shift);

// The alerts that concern the chosen stops or their routes at `at`, their
// header lines.
std::vector<std::string> AlertLines(const RealtimeFeed& feed, const std::vector<std::string>& stops,
                                    const std::vector<std::string>& routes, Instant at);

}  // namespace tablica::live
