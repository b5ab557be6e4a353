#include "live/live_departures.h"

#include "live/feed_cache.h"
#include "live/live_source.h"

namespace tablica::live {

LiveDepartures::LiveDepartures(DeparturesSource source, std::filesystem::path cacheFolder, Log log)
    : config_(std::move(source)), cacheFolder_(std::move(cacheFolder)), log_(std::move(log)) {
  feed_.where = config_.feed;
  realtime_.where = config_.realtime;
  alertsSource_.where = config_.alerts;
}

void LiveDepartures::Fail(Source& source, const std::string& fault) {
  const std::string say = source.state.Failed(fault, SourceState::Clock::now());
  if (!say.empty() && log_) log_(say);
}

void LiveDepartures::RefreshFeed(Instant now) {
  std::filesystem::path file =
      std::filesystem::path(std::u8string(config_.feed.begin(), config_.feed.end()));
  bool changed = !timetable_.has_value();
  {
    std::lock_guard lock(mutex_);
    if (timetable_ && !IsAddress(config_.feed)) return;  // a file is read once
    if (feed_.asked && now - feed_.askedAt < 3600 && !timetable_) {
      return;  // a refused feed is asked again hourly, not at every refresh
    }
    feed_.asked = true;
    feed_.askedAt = now;
  }
  if (IsAddress(config_.feed)) {
    const FeedCache::Result kept = FeedCache(cacheFolder_).Update(config_.feed, now);
    if (!kept.error.empty()) {
      std::lock_guard lock(mutex_);
      Fail(feed_, kept.error);
    }
    if (kept.file.empty()) return;
    file = kept.file;
    changed = changed || kept.changed;
  }
  if (!changed) return;
  auto loaded = Timetable::Load(file, config_.query);
  std::lock_guard lock(mutex_);
  if (auto* reason = std::get_if<std::string>(&loaded)) {
    Fail(feed_, *reason);
    return;
  }
  timetable_ = std::move(std::get<Timetable>(loaded));
  feed_.state.Succeeded({}, SourceState::Clock::now());
  feed_.goodAt = now;
}

std::optional<RealtimeFeed> LiveDepartures::RefreshLive(Source& source, Instant now) {
  {
    std::lock_guard lock(mutex_);
    if (source.where.empty() || (source.asked && now - source.askedAt < config_.every)) {
      return std::nullopt;
    }
    source.asked = true;
    source.askedAt = now;
  }
  const FetchResult fetched = ReadSource(source.where, kMaxRealtimeBytes);
  std::string fault = fetched.error;
  std::optional<RealtimeFeed> feed;
  if (fault.empty()) {
    auto decoded = DecodeRealtime(fetched.body);
    if (auto* reason = std::get_if<std::string>(&decoded)) {
      fault = *reason;
    } else {
      feed = std::move(std::get<RealtimeFeed>(decoded));
      if (feed->timestamp != 0 && !LiveFeedCurrent(feed->timestamp, now)) {
        fault =
            "Dane na żywo z " + source.where + " są starsze niż 90 s; pokazuję czasy z rozkładu.";
      }
    }
  }
  std::lock_guard lock(mutex_);
  if (!fault.empty()) {
    Fail(source, fault);
    return feed;  // stale data is kept, and shown as such
  }
  source.state.Succeeded({}, SourceState::Clock::now());
  source.goodAt = now;
  return feed;
}

void LiveDepartures::Refresh(Instant now) {
  RefreshFeed(now);
  auto live = RefreshLive(realtime_, now);
  auto alerts = RefreshLive(alertsSource_, now);
  std::lock_guard lock(mutex_);
  if (live) live_ = std::move(live);
  if (alerts) alerts_ = std::move(alerts);
}

DeparturesView LiveDepartures::View(Instant now) const {
  std::lock_guard lock(mutex_);
  if (!timetable_) return MakeView({}, now, true, config_.none);
  // Live times only while the feed is current; otherwise the timetable's, marked.
  const bool current = config_.realtime.empty() || (live_ && !realtime_.state.Failing() &&
                                                    LiveFeedCurrent(live_->timestamp, now));
  const RealtimeFeed* live = !config_.realtime.empty() && current ? &*live_ : nullptr;
  std::vector<std::string> alerts;
  if (alerts_) {
    alerts = AlertLines(*alerts_, timetable_->ChosenStops(), timetable_->ChosenRoutes(), now);
  }
  if (live_ && config_.alerts.empty() && current) {
    alerts = AlertLines(*live_, timetable_->ChosenStops(), timetable_->ChosenRoutes(), now);
  }
  return MakeView(timetable_->Departures(now, config_.rows, live), now, current, config_.none,
                  std::move(alerts));
}

std::vector<SourceStatus> LiveDepartures::Status(Instant now) const {
  std::lock_guard lock(mutex_);
  std::vector<SourceStatus> list;
  for (const Source* source : {&feed_, &realtime_, &alertsSource_}) {
    if (source->where.empty()) continue;
    SourceStatus status;
    status.name = source->where;
    if (source->goodAt != 0) status.age = now - source->goodAt;
    status.fault = source->state.LastFault();
    status.failing = source->state.Failing();
    list.push_back(std::move(status));
  }
  return list;
}

}  // namespace tablica::live
