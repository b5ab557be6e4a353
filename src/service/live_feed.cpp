#include "service/live_feed.h"

#include <algorithm>

#include "service/service_json.h"

namespace tablica::service {

LiveListener::~LiveListener() {
  feed_.Left(this);
}

LiveListener::Took LiveListener::Next(std::chrono::milliseconds wait, std::string& json) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, wait, [this] { return closed_ || !frames_.empty(); });
  if (closed_) return Took::Closed;
  if (frames_.empty()) return Took::Nothing;
  json = std::move(frames_.front());
  frames_.pop_front();
  return Took::Frame;
}

void LiveListener::Push(const std::string& json) {
  {
    std::lock_guard lock(mutex_);
    if (frames_.size() >= LiveFeed::kQueuedFrames) frames_.pop_front();
    frames_.push_back(json);
  }
  changed_.notify_one();
}

void LiveListener::Close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  changed_.notify_one();
}

LiveFeed::LiveFeed(BoardService& service, int maxListeners)
    : service_(service), maxListeners_(maxListeners) {
  observer_ = service_.AddFrameObserver([this](const FrameEvent& frame) { Heard(frame); });
}

LiveFeed::~LiveFeed() {
  service_.RemoveFrameObserver(observer_);
  Close();
}

std::shared_ptr<LiveListener> LiveFeed::Join() {
  std::shared_ptr<LiveListener> listener;
  {
    std::lock_guard lock(mutex_);
    if (closed_ || static_cast<int>(listeners_.size()) >= maxListeners_) return nullptr;
    listener.reset(new LiveListener(*this));
    listeners_.push_back(listener.get());
  }
  FrameEvent now;
  now.first = service_.BoardNow();
  now.at = std::chrono::system_clock::now();
  listener->Push(FrameJson(now));
  return listener;
}

void LiveFeed::Close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
  for (LiveListener* listener : listeners_) listener->Close();
}

int LiveFeed::Listeners() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(listeners_.size());
}

void LiveFeed::Left(LiveListener* listener) {
  std::lock_guard lock(mutex_);
  std::erase(listeners_, listener);
}

void LiveFeed::Heard(const FrameEvent& frame) {
  std::lock_guard lock(mutex_);
  if (listeners_.empty()) return;
  const std::string json = FrameJson(frame);
  for (LiveListener* listener : listeners_) listener->Push(json);
}

}  // namespace tablica::service
