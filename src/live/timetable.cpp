#include "live/timetable.h"

#include <QDateTime>
#include <algorithm>
#include <charconv>
#include <chrono>
#include <map>
#include <unordered_set>

#include "live/feed_archive.h"
#include "live/realtime.h"

namespace tablica::live {

namespace {

// Lookups by a field's view without making a string of it.
struct TextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const {
    return std::hash<std::string_view>{}(text);
  }
};
template <typename Value>
using TextMap = std::unordered_map<std::string, Value, TextHash, std::equal_to<>>;
using TextSet = std::unordered_set<std::string, TextHash, std::equal_to<>>;

int ParseSmall(std::string_view text, int fallback) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() ? value : fallback;
}

bool Contains(const std::vector<std::string>& list, std::string_view item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

// Reads `table` with its header's columns looked up once.
template <typename Row>
std::string ReadTable(const FeedArchive& archive, std::string_view table, bool required, Row&& row,
                      const std::function<void(const CsvHeader&)>& header) {
  bool first = true;
  return archive.Read(table, required, [&](CsvFields fields) {
    if (first) {
      first = false;
      header(CsvHeader(fields));
      return true;
    }
    return row(fields);
  });
}

}  // namespace

std::int32_t ParseServiceTime(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  const auto colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0 || colon > 3) return -1;
  if (text.size() != colon + 6 || text[colon + 3] != ':') return -1;
  const int hours = ParseSmall(text.substr(0, colon), -1);
  const int minutes = ParseSmall(text.substr(colon + 1, 2), -1);
  const int seconds = ParseSmall(text.substr(colon + 4, 2), -1);
  if (hours < 0 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59) return -1;
  return hours * 3600 + minutes * 60 + seconds;
}

std::optional<std::int32_t> ParseServiceDate(std::string_view text) {
  if (text.size() != 8) return std::nullopt;
  const int year = ParseSmall(text.substr(0, 4), -1);
  const int month = ParseSmall(text.substr(4, 2), -1);
  const int day = ParseSmall(text.substr(6, 2), -1);
  if (year < 1900 || month < 1 || day < 1) return std::nullopt;
  const std::chrono::year_month_day date{std::chrono::year(year),
                                         std::chrono::month(static_cast<unsigned>(month)),
                                         std::chrono::day(static_cast<unsigned>(day))};
  if (!date.ok()) return std::nullopt;
  return static_cast<std::int32_t>(std::chrono::sys_days(date).time_since_epoch().count());
}

std::string ServiceDateText(std::int32_t day) {
  const std::chrono::year_month_day date{std::chrono::sys_days(std::chrono::days(day))};
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02u%02u", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
  return text;
}

Instant ServiceDayStart(const QTimeZone& zone, std::int32_t day) {
  const QDate date = QDate::fromJulianDay(day + 2440588);
  return QDateTime(date, QTime(12, 0), zone).toSecsSinceEpoch() - 12 * 3600;
}

bool Timetable::Service::RunsOn(std::int32_t day) const {
  if (std::find(removed.begin(), removed.end(), day) != removed.end()) return false;
  if (std::find(added.begin(), added.end(), day) != added.end()) return true;
  if (!calendar || day < from || day > to) return false;
  // 1970-01-01 was a Thursday (bit 3).
  const int weekday = static_cast<int>(((day % 7) + 7 + 3) % 7);
  return (weekdays >> weekday) & 1;
}

std::vector<std::string> Timetable::ChosenRoutes() const {
  std::vector<std::string> routes;
  for (const Trip& trip : trips_) {
    if (!Contains(routes, trip.route)) routes.push_back(trip.route);
  }
  return routes;
}

// The reading of one feed for one query, table by table.
class TimetableLoader {
 public:
  // Bounds on what a feed may make the board hold, far above a big city's.
  static constexpr std::size_t kMaxStops = 2'000'000;
  static constexpr std::size_t kMaxTrips = 4'000'000;
  static constexpr std::size_t kMaxTripStops = 10'000;
  static constexpr std::size_t kMaxKeptCalls = 2'000'000;

  TimetableLoader(const FeedArchive& archive, const DeparturesQuery& query, Timetable& out)
      : archive_(archive), query_(query), out_(out) {}

  std::string Load() {
    std::string reason;
    if (!(reason = Agencies()).empty() || !(reason = Stops()).empty() ||
        !(reason = Routes()).empty() || !(reason = StopTimes()).empty() ||
        !(reason = Trips()).empty() || !(reason = Calendar()).empty() ||
        !(reason = Frequencies()).empty()) {
      return reason;
    }
    return {};
  }

 private:
  int Zone(std::string_view name, std::string& reason) {
    for (std::size_t i = 0; i < zoneNames_.size(); ++i) {
      if (zoneNames_[i] == name) return static_cast<int>(i);
    }
    QTimeZone zone(QByteArray(name.data(), static_cast<qsizetype>(name.size())));
    if (!zone.isValid()) {
      reason = "Rozkład podaje nieznaną strefę czasową „" + std::string(name) + "”.";
      return 0;
    }
    zoneNames_.emplace_back(name);
    out_.zones_.push_back(zone);
    return static_cast<int>(zoneNames_.size() - 1);
  }

  std::string Agencies() {
    std::size_t id = 0, zone = 0;
    std::string reason;
    std::string read = ReadTable(
        archive_, "agency.txt", true,
        [&](CsvFields row) {
          const int index = Zone(FieldAt(row, zone), reason);
          agencies_.emplace(std::string(FieldAt(row, id)), index);
          return reason.empty();
        },
        [&](const CsvHeader& header) {
          id = header.Column("agency_id");
          zone = header.Column("agency_timezone");
        });
    if (!read.empty()) return read;
    if (!reason.empty()) return reason;
    if (out_.zones_.empty()) return "W rozkładzie nie ma żadnego przewoźnika (agency.txt).";
    return {};
  }

  std::string Stops() {
    std::size_t id = 0, name = 0, parent = 0, zone = 0;
    std::string reason;
    std::vector<std::string> parents;
    std::vector<std::string> ownZones;
    std::string read = ReadTable(
        archive_, "stops.txt", true,
        [&](CsvFields row) {
          Timetable::Stop stop;
          stop.id = FieldAt(row, id);
          stop.name = FieldAt(row, name);
          if (out_.stops_.size() >= kMaxStops) {
            limit_ = "Rozkład ma ponad " + std::to_string(kMaxStops) + " przystanków.";
            return false;
          }
          stopIndex_.emplace(stop.id, static_cast<std::uint32_t>(out_.stops_.size()));
          parents.emplace_back(FieldAt(row, parent));
          ownZones.emplace_back(FieldAt(row, zone));
          out_.stops_.push_back(std::move(stop));
          return true;
        },
        [&](const CsvHeader& header) {
          id = header.Column("stop_id");
          name = header.Column("stop_name");
          parent = header.Column("parent_station");
          zone = header.Column("stop_timezone");
        });
    if (!read.empty()) return read;
    if (!limit_.empty()) return limit_;
    for (const std::string& wanted : query_.stops) {
      if (!stopIndex_.contains(wanted)) {
        return "Przystanku „" + wanted + "” nie ma w rozkładzie.";
      }
    }
    // A stop inherits its station's time zone; a station stands for its platforms.
    for (std::size_t i = 0; i < out_.stops_.size(); ++i) {
      const auto station = stopIndex_.find(parents[i]);
      const std::string& zoneName = !parents[i].empty() && station != stopIndex_.end()
                                        ? ownZones[station->second]
                                        : ownZones[i];
      if (!zoneName.empty()) out_.stops_[i].zone = Zone(zoneName, reason);
      if (!reason.empty()) return reason;
      const std::string& stopId = out_.stops_[i].id;
      if (Contains(query_.stops, stopId) ||
          (!parents[i].empty() && Contains(query_.stops, parents[i]))) {
        if (!Contains(out_.chosen_, stopId)) out_.chosen_.push_back(stopId);
      }
    }
    return {};
  }

  std::string Routes() {
    std::size_t id = 0, shortName = 0, longName = 0, agency = 0;
    return ReadTable(
        archive_, "routes.txt", true,
        [&](CsvFields row) {
          Timetable::Route route;
          route.shortName = FieldAt(row, shortName);
          route.longName = FieldAt(row, longName);
          const auto found = agencies_.find(FieldAt(row, agency));
          route.zone = found != agencies_.end() ? found->second : 0;
          out_.routes_.emplace(std::string(FieldAt(row, id)), std::move(route));
          return true;
        },
        [&](const CsvHeader& header) {
          id = header.Column("route_id");
          shortName = header.Column("route_short_name");
          longName = header.Column("route_long_name");
          agency = header.Column("agency_id");
        });
  }

  // The run of rows of one trip being read (feeds list a trip's stops
  // together); kept as a whole only when it passes a chosen stop.
  struct RunRow {
    std::uint32_t sequence;
    std::int32_t arrival, departure;
    std::uint8_t pickup;
    bool chosen;
    std::string stop, headsign;
  };

  void EndRun() {
    if (run_.empty()) return;
    const RunRow* last = &run_.front();
    for (const RunRow& row : run_) {
      if (row.sequence >= last->sequence) last = &row;
    }
    const auto lastStop = stopIndex_.find(last->stop);
    auto [end, fresh] = tripEnds_.try_emplace(runTrip_, last->sequence, 0u);
    if (fresh || last->sequence >= end->second.first) {
      end->second = {last->sequence, lastStop != stopIndex_.end() ? lastStop->second : 0u};
    }
    if (runChosen_) {
      auto& calls = chosenTrips_[runTrip_];
      keptCalls_ += run_.size();
      for (RunRow& row : run_) {
        const auto stop = stopIndex_.find(row.stop);
        if (stop == stopIndex_.end()) continue;
        Timetable::Call call;
        call.sequence = row.sequence;
        call.stop = stop->second;
        call.arrival = row.arrival;
        call.departure = row.departure;
        call.pickup = row.pickup;
        call.chosen = row.chosen;
        call.headsign = std::move(row.headsign);
        calls.push_back(std::move(call));
      }
    }
    run_.clear();
    runChosen_ = false;
  }

  std::string StopTimes() {
    std::size_t trip = 0, arrival = 0, departure = 0, stop = 0, sequence = 0, pickup = 0,
                headsign = 0;
    std::string read = ReadTable(
        archive_, "stop_times.txt", true,
        [&](CsvFields row) {
          const std::string_view tripId = FieldAt(row, trip);
          if (tripId != runTrip_) {
            EndRun();
            runTrip_.assign(tripId);
          }
          const std::string_view stopId = FieldAt(row, stop);
          if (run_.size() >= kMaxTripStops || tripEnds_.size() >= kMaxTrips ||
              keptCalls_ >= kMaxKeptCalls) {
            limit_ = "Rozkład jest za duży dla tablicy (ponad " + std::to_string(kMaxTrips) +
                     " przejazdów, " + std::to_string(kMaxTripStops) +
                     " przystanków jednego przejazdu albo " + std::to_string(kMaxKeptCalls) +
                     " odjazdów wybranych przystanków).";
            return false;
          }
          RunRow& added = run_.emplace_back();
          added.sequence = static_cast<std::uint32_t>(ParseSmall(FieldAt(row, sequence), 0));
          added.arrival = ParseServiceTime(FieldAt(row, arrival));
          added.departure = ParseServiceTime(FieldAt(row, departure));
          added.pickup = static_cast<std::uint8_t>(ParseSmall(FieldAt(row, pickup), 0));
          added.chosen = Contains(out_.chosen_, stopId);
          added.stop.assign(stopId);
          if (added.chosen) {
            added.headsign.assign(FieldAt(row, headsign));
            runChosen_ = true;
          }
          return true;
        },
        [&](const CsvHeader& header) {
          trip = header.Column("trip_id");
          arrival = header.Column("arrival_time");
          departure = header.Column("departure_time");
          stop = header.Column("stop_id");
          sequence = header.Column("stop_sequence");
          pickup = header.Column("pickup_type");
          headsign = header.Column("stop_headsign");
        });
    if (!read.empty()) return read;
    if (!limit_.empty()) return limit_;
    EndRun();
    return {};
  }

  bool RouteWanted(const std::string& routeId) const {
    if (query_.routes.empty() || Contains(query_.routes, routeId)) return true;
    const auto route = out_.routes_.find(routeId);
    return route != out_.routes_.end() && Contains(query_.routes, route->second.shortName);
  }

  static void Interpolate(std::vector<Timetable::Call>& calls) {
    // Stops between two timed ones (timepoints) get times in proportion.
    std::size_t before = calls.size();
    for (std::size_t i = 0; i < calls.size(); ++i) {
      if (calls[i].Leaves() < 0) continue;
      if (before != calls.size() && i > before + 1) {
        const std::int32_t from = calls[before].Leaves();
        const std::int32_t to = calls[i].arrival >= 0 ? calls[i].arrival : calls[i].departure;
        for (std::size_t k = before + 1; k < i; ++k) {
          const auto share = static_cast<std::int64_t>(to - from) *
                             static_cast<std::int64_t>(k - before) /
                             static_cast<std::int64_t>(i - before);
          calls[k].arrival = calls[k].departure = from + static_cast<std::int32_t>(share);
        }
      }
      before = i;
    }
  }

  std::string Trips() {
    std::size_t id = 0, route = 0, service = 0, headsign = 0;
    std::string read = ReadTable(
        archive_, "trips.txt", true,
        [&](CsvFields row) {
          const auto found = chosenTrips_.find(FieldAt(row, id));
          if (found == chosenTrips_.end()) return true;
          Timetable::Trip trip;
          trip.id = found->first;
          trip.route = FieldAt(row, route);
          if (!RouteWanted(trip.route) || !out_.routes_.contains(trip.route)) return true;
          trip.service = FieldAt(row, service);
          trip.headsign = FieldAt(row, headsign);
          trip.calls = std::move(found->second);
          std::sort(trip.calls.begin(), trip.calls.end(),
                    [](const auto& a, const auto& b) { return a.sequence < b.sequence; });
          Interpolate(trip.calls);
          const auto& end = tripEnds_.at(trip.id);
          trip.lastSequence = end.first;
          trip.lastStop = end.second;
          for (const auto& call : trip.calls) {
            out_.latest_ = std::max(out_.latest_, call.Leaves());
          }
          out_.services_.try_emplace(trip.service);
          out_.trips_.push_back(std::move(trip));
          return true;
        },
        [&](const CsvHeader& header) {
          id = header.Column("trip_id");
          route = header.Column("route_id");
          service = header.Column("service_id");
          headsign = header.Column("trip_headsign");
        });
    chosenTrips_.clear();
    tripEnds_.clear();
    return read;
  }

  std::string Calendar() {
    if (!archive_.Has("calendar.txt") && !archive_.Has("calendar_dates.txt")) {
      return "W rozkładzie brakuje kalendarza (calendar.txt ani calendar_dates.txt).";
    }
    std::size_t id = 0, from = 0, to = 0;
    std::size_t days[7] = {};
    static const char* const kDays[7] = {"monday", "tuesday",  "wednesday", "thursday",
                                         "friday", "saturday", "sunday"};
    std::string read = ReadTable(
        archive_, "calendar.txt", false,
        [&](CsvFields row) {
          const auto found = out_.services_.find(std::string(FieldAt(row, id)));
          if (found == out_.services_.end()) return true;
          auto& service = found->second;
          const auto start = ParseServiceDate(FieldAt(row, from));
          const auto end = ParseServiceDate(FieldAt(row, to));
          if (!start || !end) return true;
          service.calendar = true;
          service.from = *start;
          service.to = *end;
          service.weekdays = 0;
          for (int d = 0; d < 7; ++d) {
            if (FieldAt(row, days[d]) == "1") service.weekdays |= static_cast<std::uint8_t>(1 << d);
          }
          return true;
        },
        [&](const CsvHeader& header) {
          id = header.Column("service_id");
          from = header.Column("start_date");
          to = header.Column("end_date");
          for (int d = 0; d < 7; ++d) days[d] = header.Column(kDays[d]);
        });
    if (!read.empty()) return read;
    std::size_t date = 0, kind = 0;
    return ReadTable(
        archive_, "calendar_dates.txt", false,
        [&](CsvFields row) {
          const auto found = out_.services_.find(std::string(FieldAt(row, id)));
          if (found == out_.services_.end()) return true;
          const auto day = ParseServiceDate(FieldAt(row, date));
          if (!day) return true;
          const std::string_view exception = FieldAt(row, kind);
          if (exception == "1") found->second.added.push_back(*day);
          if (exception == "2") found->second.removed.push_back(*day);
          return true;
        },
        [&](const CsvHeader& header) {
          id = header.Column("service_id");
          date = header.Column("date");
          kind = header.Column("exception_type");
        });
  }

  std::string Frequencies() {
    TextMap<std::size_t> byId;
    for (std::size_t i = 0; i < out_.trips_.size(); ++i) byId.emplace(out_.trips_[i].id, i);
    std::size_t id = 0, start = 0, end = 0, headway = 0, exact = 0;
    return ReadTable(
        archive_, "frequencies.txt", false,
        [&](CsvFields row) {
          const auto found = byId.find(FieldAt(row, id));
          if (found == byId.end()) return true;
          Timetable::Frequency frequency;
          frequency.start = ParseServiceTime(FieldAt(row, start));
          frequency.end = ParseServiceTime(FieldAt(row, end));
          frequency.headway = ParseSmall(FieldAt(row, headway), 0);
          frequency.exact = FieldAt(row, exact) == "1";
          if (frequency.start < 0 || frequency.end < frequency.start || frequency.headway <= 0) {
            return true;
          }
          out_.latest_ = std::max(out_.latest_, frequency.end + 4 * 3600);
          out_.trips_[found->second].frequencies.push_back(frequency);
          return true;
        },
        [&](const CsvHeader& header) {
          id = header.Column("trip_id");
          start = header.Column("start_time");
          end = header.Column("end_time");
          headway = header.Column("headway_secs");
          exact = header.Column("exact_times");
        });
  }

  const FeedArchive& archive_;
  const DeparturesQuery& query_;
  Timetable& out_;
  std::vector<std::string> zoneNames_;
  TextMap<int> agencies_;
  TextMap<std::uint32_t> stopIndex_;
  std::string runTrip_;
  std::vector<RunRow> run_;
  bool runChosen_ = false;
  TextMap<std::pair<std::uint32_t, std::uint32_t>> tripEnds_;  // last sequence, its stop
  TextMap<std::vector<Timetable::Call>> chosenTrips_;
  std::size_t keptCalls_ = 0;
  std::string limit_;  // why a table was refused as too big for a board
};

std::variant<Timetable, std::string> Timetable::Load(const std::filesystem::path& feed,
                                                     const DeparturesQuery& query) {
  if (query.stops.empty()) return std::string("Nie wybrano żadnego przystanku.");
  FeedArchive archive;
  if (std::string reason = archive.Open(feed); !reason.empty()) return reason;
  Timetable timetable;
  TimetableLoader loader(archive, query, timetable);
  if (std::string reason = loader.Load(); !reason.empty()) return reason;
  return timetable;
}

std::vector<Departure> Timetable::Departures(Instant at, std::size_t rows, const RealtimeFeed* live,
                                             Instant horizon) const {
  std::vector<Departure> found;
  std::map<std::pair<int, std::int32_t>, Instant> dayStarts;
  const auto dayStart = [&](int zone, std::int32_t day) {
    auto [entry, fresh] = dayStarts.try_emplace({zone, day}, 0);
    if (fresh) entry->second = ServiceDayStart(zones_[static_cast<std::size_t>(zone)], day);
    return entry->second;
  };
  const auto dayOf = [](Instant instant) { return static_cast<std::int32_t>(instant / 86400); };
  // Service days whose times can reach from `at` to the horizon (zones
  // are within a day of UTC).
  const std::int32_t firstDay = dayOf(at) - 2 - latest_ / 86400;
  const std::int32_t lastDay = dayOf(at + horizon) + 2;
  for (const Trip& trip : trips_) {
    const Route& route = routes_.at(trip.route);
    const Service& service = services_.at(trip.service);
    const std::int32_t firstTime = trip.calls.empty() ? 0 : trip.calls.front().Leaves();
    for (std::size_t c = 0; c < trip.calls.size(); ++c) {
      const Call& call = trip.calls[c];
      if (!call.chosen || call.sequence >= trip.lastSequence || call.pickup == 1 ||
          call.Leaves() < 0) {
        continue;
      }
      // A trip repeated at a frequency is a template: its own times are
      // never departures, each start shifts them.
      std::vector<std::pair<std::int32_t, std::int32_t>> starts;  // trip start, shift
      if (trip.frequencies.empty()) {
        starts.emplace_back(firstTime, 0);
      } else {
        for (const Frequency& frequency : trip.frequencies) {
          for (std::int32_t s = frequency.start; s < frequency.end; s += frequency.headway) {
            starts.emplace_back(s, s - firstTime);
          }
        }
      }
      for (std::int32_t day = firstDay; day <= lastDay; ++day) {
        if (!service.RunsOn(day)) continue;
        const Instant base = dayStart(route.zone, day);
        for (const auto& [start, shift] : starts) {
          const Instant scheduled = base + call.Leaves() + shift;
          if (scheduled > at + horizon || scheduled + 6 * 3600 < at) continue;
          Departure departure;
          departure.scheduled = departure.time = scheduled;
          if (live) {
            const LiveCall state = LookUpLive(*live, *this, trip, c, day, base, start, shift);
            if (state.skipped) continue;
            departure.realtime = state.known;
            departure.cancelled = state.cancelled;
            departure.delay = state.delay;
            if (state.time) departure.time = *state.time;
          }
          if (departure.time < at || scheduled > at + horizon) continue;
          departure.route = route.shortName.empty() ? route.longName : route.shortName;
          departure.headsign = !call.headsign.empty()                ? call.headsign
                               : !trip.headsign.empty()              ? trip.headsign
                               : !stops_[trip.lastStop].name.empty() ? stops_[trip.lastStop].name
                                                                     : route.longName;
          const Stop& stop = stops_[call.stop];
          departure.stop = stop.id;
          departure.trip = trip.id;
          departure.zone =
              zones_[static_cast<std::size_t>(stop.zone >= 0 ? stop.zone : route.zone)];
          found.push_back(std::move(departure));
        }
      }
    }
  }
  std::sort(found.begin(), found.end(), [](const Departure& a, const Departure& b) {
    return a.time != b.time ? a.time < b.time : a.trip < b.trip;
  });
  if (found.size() > rows) found.resize(rows);
  return found;
}

}  // namespace tablica::live
