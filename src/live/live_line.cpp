#include "live/live_line.h"

namespace tablica::live {

LiveLine::LiveLine(LineSource source, Log log)
    : config_(std::move(source)), log_(std::move(log)), state_(config_.none) {}

void LiveLine::Refresh(Instant now) {
  {
    std::lock_guard lock(mutex_);
    if (asked_ && now - askedAt_ < config_.every) return;
    asked_ = true;
    askedAt_ = now;
  }
  std::string fault, text;
  if (!IsAddress(config_.url)) {
    fault = "Adres „" + config_.url + "” nie jest adresem http ani https.";
  } else if (const FetchResult fetched = Fetch(config_.url, FetchLimits{});
             !fetched.error.empty()) {
    fault = fetched.error;
  } else if (config_.kind == LineSource::Kind::Data) {
    const auto value = JsonPointerText(fetched.body, config_.pointer);
    if (value.index() == 0) {
      text = FillValue(config_.text, std::get<0>(value));
    } else {
      fault = "Dane z " + config_.url + ": " + std::get<1>(value) + ".";
    }
  } else {
    const auto titles = FeedTitles(fetched.body, config_.items);
    if (const auto* list = std::get_if<std::vector<std::string>>(&titles)) {
      for (const std::string& title : *list) text += (text.empty() ? "" : "  •  ") + title;
    } else {
      fault = "Kanał " + config_.url + ": " + std::get<std::string>(titles) + ".";
    }
  }
  std::lock_guard lock(mutex_);
  if (!fault.empty()) {
    const std::string say = state_.Failed(fault, SourceState::Clock::now());
    if (!say.empty() && log_) log_(say);
    return;
  }
  state_.Succeeded(text, SourceState::Clock::now());
  goodAt_ = now;
}

std::string LiveLine::Text() const {
  std::lock_guard lock(mutex_);
  return state_.Text();
}

SourceStatus LiveLine::Status(Instant now) const {
  std::lock_guard lock(mutex_);
  SourceStatus status;
  status.name = config_.url;
  if (goodAt_ != 0) status.age = now - goodAt_;
  status.fault = state_.LastFault();
  status.failing = state_.Failing();
  return status;
}

}  // namespace tablica::live
