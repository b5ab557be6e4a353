#pragma once

// The departures of a few stops, taken from a timetable feed (a zip of
// text tables). Only what the chosen stops need is kept: their trips, the
// services those run on, their routes and frequencies; stop_times.txt,
// by far the largest table, is streamed once and never held.
//
// Times of a trip are seconds of its service day, counted from noon minus
// 12 hours in the time zone of the trip's agency (on the days a clock
// changes that is not midnight), and may run past 24:00:00 into the next
// morning. A departure is shown in the time zone of its stop (its station's,
// its own, or the agency's).

#include <QTimeZone>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

namespace tablica::live {

struct RealtimeFeed;

using Instant = std::int64_t;  // seconds since 1970-01-01 UTC

struct Departure {
  Instant time = 0;          // when it leaves, the live time where there is one
  Instant scheduled = 0;     // when the timetable says
  std::optional<int> delay;  // seconds, from the live feed
  bool realtime = false;     // the live feed knows this trip
  bool cancelled = false;
  std::string route;     // the route's short name (else its long name)
  std::string headsign;  // where it goes
  std::string stop;      // the stop (platform) it leaves from
  std::string trip;
  QTimeZone zone;  // the stop's
};

struct DeparturesQuery {
  std::vector<std::string> stops;   // stop ids; a station stands for its platforms
  std::vector<std::string> routes;  // route ids or short names; empty: all
};

class Timetable {
 public:
  struct Call {
    std::uint32_t sequence = 0;
    std::uint32_t stop = 0;     // into stops_
    std::int32_t arrival = -1;  // seconds of the service day; -1: none
    std::int32_t departure = -1;
    std::uint8_t pickup = 0;
    bool chosen = false;   // at one of the chosen stops
    std::string headsign;  // stop_headsign (kept at the chosen stops only)
    std::int32_t Leaves() const { return departure >= 0 ? departure : arrival; }
  };
  struct Frequency {
    std::int32_t start = 0, end = 0, headway = 0;
    bool exact = false;
  };
  struct Trip {
    std::string id, route, service, headsign;
    std::vector<Call> calls;  // by sequence; every stop where the feed lists them together
    std::vector<Frequency> frequencies;
    std::uint32_t lastSequence = 0;
    std::uint32_t lastStop = 0;
  };
  struct Stop {
    std::string id, name;
    int zone = -1;  // into zones_; -1: the agency's
  };
  struct Route {
    std::string shortName, longName;
    int zone = 0;
  };
  struct Service {
    bool calendar = false;
    std::uint8_t weekdays = 0;      // bit 0 Monday .. bit 6 Sunday
    std::int32_t from = 0, to = 0;  // days since 1970-01-01
    std::vector<std::int32_t> added, removed;
    bool RunsOn(std::int32_t day) const;
  };

  // Reads the feed for `query`. The Polish reason when the feed or one of
  // the stops is refused.
  static std::variant<Timetable, std::string> Load(const std::filesystem::path& feed,
                                                   const DeparturesQuery& query);

  // Up to `rows` departures from `at` on, looked for `horizon` seconds
  // ahead, earliest first, with `live` applied when given.
  std::vector<Departure> Departures(Instant at, std::size_t rows,
                                    const RealtimeFeed* live = nullptr,
                                    Instant horizon = 24 * 3600) const;

  // The feed's own time zone (its first agency's).
  const QTimeZone& FeedZone() const { return zones_.front(); }
  const std::vector<Trip>& Trips() const { return trips_; }
  const Stop& StopAt(std::uint32_t index) const { return stops_[index]; }
  // The chosen stops and their platforms, and the routes of their trips.
  const std::vector<std::string>& ChosenStops() const { return chosen_; }
  std::vector<std::string> ChosenRoutes() const;

 private:
  friend class TimetableLoader;
  std::vector<QTimeZone> zones_;
  std::vector<Stop> stops_;
  std::vector<std::string> chosen_;
  std::unordered_map<std::string, Route> routes_;
  std::unordered_map<std::string, Service> services_;
  std::vector<Trip> trips_;
  std::int32_t latest_ = 0;  // the latest time of any trip, seconds of its day
};

// "HH:MM:SS" (hours may pass 24) to seconds; -1 when empty or malformed.
std::int32_t ParseServiceTime(std::string_view text);
// "YYYYMMDD" to days since 1970-01-01; unset when malformed.
std::optional<std::int32_t> ParseServiceDate(std::string_view text);
// Days since 1970-01-01 as "YYYYMMDD".
std::string ServiceDateText(std::int32_t day);
// The instant a service day's times count from: noon minus 12 hours.
Instant ServiceDayStart(const QTimeZone& zone, std::int32_t day);

}  // namespace tablica::live
