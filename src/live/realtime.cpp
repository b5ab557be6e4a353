#include "live/realtime.h"

#include <algorithm>
#include <cstdlib>

#include "transit_live.pb.h"

namespace tablica::live {

namespace {

constexpr std::size_t kMaxFeedBytes = std::size_t{64} << 20;

std::string PickText(const wire::TranslatedString& text) {
  const wire::TranslatedString::Translation* chosen = nullptr;
  for (const auto& translation : text.translation()) {
    const std::string& language = translation.language();
    if (language.rfind("pl", 0) == 0) return translation.text();
    if (!chosen || (language.empty() && !chosen->language().empty())) chosen = &translation;
  }
  return chosen ? chosen->text() : std::string();
}

void ReadEvent(const wire::TripUpdate::StopTimeEvent& event, std::optional<Instant>& time,
               std::optional<int>& delay) {
  if (event.has_time()) time = event.time();
  if (event.has_delay()) delay = event.delay();
}

TripUpdate ReadTripUpdate(const wire::TripUpdate& wire) {
  TripUpdate update;
  update.trip = wire.trip().trip_id();
  update.startDate = wire.trip().start_date();
  update.startTime = wire.trip().start_time();
  const auto relation = wire.trip().schedule_relationship();
  update.cancelled =
      relation == wire::TripDescriptor::CANCELED || relation == wire::TripDescriptor::DELETED;
  if (wire.has_delay()) update.delay = wire.delay();
  for (const auto& stop : wire.stop_time_update()) {
    StopUpdate& added = update.stops.emplace_back();
    if (stop.has_stop_sequence()) added.sequence = stop.stop_sequence();
    added.stop = stop.stop_id();
    if (stop.has_arrival()) ReadEvent(stop.arrival(), added.arrivalTime, added.arrivalDelay);
    if (stop.has_departure()) {
      ReadEvent(stop.departure(), added.departureTime, added.departureDelay);
    }
    switch (stop.schedule_relationship()) {
      case wire::TripUpdate::StopTimeUpdate::SKIPPED:
        added.relation = StopUpdate::Relation::Skipped;
        break;
      case wire::TripUpdate::StopTimeUpdate::NO_DATA:
        added.relation = StopUpdate::Relation::NoData;
        break;
      default:
        break;
    }
  }
  return update;
}

Alert ReadAlert(const wire::Alert& wire) {
  Alert alert;
  for (const auto& period : wire.active_period()) {
    alert.periods.emplace_back(static_cast<Instant>(period.start()),
                               static_cast<Instant>(period.end()));
  }
  for (const auto& entity : wire.informed_entity()) {
    if (entity.has_stop_id()) alert.stops.push_back(entity.stop_id());
    if (entity.has_route_id()) alert.routes.push_back(entity.route_id());
    if (entity.has_trip() && entity.trip().has_trip_id())
      alert.trips.push_back(entity.trip().trip_id());
    if (entity.has_agency_id() && !entity.has_route_id() && !entity.has_stop_id()) {
      alert.agencies.push_back(entity.agency_id());
    }
  }
  alert.header = PickText(wire.header_text());
  alert.description = PickText(wire.description_text());
  return alert;
}

bool Has(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

bool Alert::ActiveAt(Instant at) const {
  if (periods.empty()) return true;
  return std::any_of(periods.begin(), periods.end(), [at](const auto& period) {
    return (period.first == 0 || period.first <= at) && (period.second == 0 || at < period.second);
  });
}

std::variant<RealtimeFeed, std::string> DecodeRealtime(std::string_view bytes) {
  if (bytes.size() > kMaxFeedBytes) {
    return std::string("Dane na żywo są większe niż 64 MiB.");
  }
  wire::FeedMessage message;
  if (!message.ParsePartialFromArray(bytes.data(), static_cast<int>(bytes.size())) ||
      !message.has_header()) {
    return std::string("Dane na żywo są uszkodzone (to nie jest komunikat GTFS-Realtime).");
  }
  RealtimeFeed feed;
  feed.timestamp = static_cast<Instant>(message.header().timestamp());
  for (const auto& entity : message.entity()) {
    if (entity.is_deleted()) continue;
    if (entity.has_trip_update() && entity.trip_update().trip().has_trip_id()) {
      TripUpdate update = ReadTripUpdate(entity.trip_update());
      std::string key = update.trip;
      feed.trips.emplace(std::move(key), std::move(update));
    }
    if (entity.has_alert()) feed.alerts.push_back(ReadAlert(entity.alert()));
  }
  return feed;
}

namespace {

// The delay an update gives at a call whose timetable times (as instants)
// are `arrival` and `departure`; unset when it gives none.
std::optional<int> DelayOf(const StopUpdate& update, std::optional<Instant> arrival,
                           std::optional<Instant> departure) {
  if (update.departureTime && departure)
    return static_cast<int>(*update.departureTime - *departure);
  if (update.departureDelay) return update.departureDelay;
  if (update.arrivalTime && arrival) return static_cast<int>(*update.arrivalTime - *arrival);
  if (update.arrivalDelay) return update.arrivalDelay;
  return std::nullopt;
}

}  // namespace

LiveCall LookUpLive(const RealtimeFeed& feed, const Timetable& timetable,
                    const Timetable::Trip& trip, std::size_t call, std::int32_t day,
                    Instant dayStart, std::int32_t tripStart, std::int32_t shift) {
  LiveCall state;
  const TripUpdate* update = nullptr;
  const auto [first, last] = feed.trips.equal_range(trip.id);
  for (auto it = first; it != last && !update; ++it) {
    const TripUpdate& candidate = it->second;
    if (!candidate.startDate.empty()) {
      if (candidate.startDate != ServiceDateText(day)) continue;
    } else if (feed.timestamp != 0 &&
               std::llabs(dayStart + tripStart - feed.timestamp) > 12 * 3600) {
      // No date: the trip running around the time of the feed.
      continue;
    }
    if (!trip.frequencies.empty() && !candidate.startTime.empty() &&
        ParseServiceTime(candidate.startTime) != tripStart) {
      continue;
    }
    update = &candidate;
  }
  if (!update) return state;
  state.known = true;
  if (update->cancelled) {
    state.cancelled = true;
    return state;
  }
  const auto instantOf = [&](std::int32_t seconds) -> std::optional<Instant> {
    if (seconds < 0) return std::nullopt;
    return dayStart + seconds + shift;
  };
  const Timetable::Call& mine = trip.calls[call];
  // An update names its call by the sequence, else by the stop (its first call there).
  const auto indexOf = [&](const StopUpdate& stop) -> std::optional<std::size_t> {
    for (std::size_t i = 0; i < trip.calls.size(); ++i) {
      const Timetable::Call& other = trip.calls[i];
      if (stop.sequence ? other.sequence == *stop.sequence
                        : timetable.StopAt(other.stop).id == stop.stop) {
        return i;
      }
    }
    return std::nullopt;
  };
  const StopUpdate* own = nullptr;
  const StopUpdate* before = nullptr;
  std::size_t beforeIndex = 0;
  for (const StopUpdate& stop : update->stops) {
    const std::optional<std::size_t> index = indexOf(stop);
    if (!index) continue;
    if (*index == call) {
      own = &stop;
    } else if (*index < call && (!before || *index > beforeIndex) &&
               stop.relation != StopUpdate::Relation::Skipped) {
      before = &stop;
      beforeIndex = *index;
    }
  }
  const Instant scheduled = *instantOf(mine.Leaves());
  std::optional<int> delay;
  if (own) {
    if (own->relation == StopUpdate::Relation::Skipped) {
      state.skipped = true;
      return state;
    }
    if (own->relation == StopUpdate::Relation::NoData) return LiveCall{};
    delay = DelayOf(*own, instantOf(mine.arrival), instantOf(mine.departure));
    if (own->departureTime) state.time = *own->departureTime;
  }
  if (!delay && before) {
    if (before->relation == StopUpdate::Relation::NoData) return LiveCall{};
    const Timetable::Call& earlier = trip.calls[beforeIndex];
    delay = DelayOf(*before, instantOf(earlier.arrival), instantOf(earlier.departure));
  }
  if (!delay) delay = update->delay;
  if (!delay) return state;
  state.delay = delay;
  if (!state.time) state.time = scheduled + *delay;
  return state;
}

std::vector<std::string> AlertLines(const RealtimeFeed& feed, const std::vector<std::string>& stops,
                                    const std::vector<std::string>& routes, Instant at) {
  std::vector<std::string> lines;
  for (const Alert& alert : feed.alerts) {
    if (!alert.ActiveAt(at)) continue;
    const bool concerns = !alert.agencies.empty() ||
                          std::any_of(alert.stops.begin(), alert.stops.end(),
                                      [&](const std::string& stop) { return Has(stops, stop); }) ||
                          std::any_of(alert.routes.begin(), alert.routes.end(),
                                      [&](const std::string& route) { return Has(routes, route); });
    if (!concerns) continue;
    const std::string& text = alert.header.empty() ? alert.description : alert.header;
    if (!text.empty() && !Has(lines, text)) lines.push_back(text);
  }
  return lines;
}

}  // namespace tablica::live
