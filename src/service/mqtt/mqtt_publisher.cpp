#include "service/mqtt/mqtt_publisher.h"

#include <algorithm>
#include <utility>

namespace tablica::service::mqtt {

namespace {

std::optional<Pacer::Clock::time_point> Earliest(std::optional<Pacer::Clock::time_point> a,
                                                 std::optional<Pacer::Clock::time_point> b) {
  if (!a) return b;
  if (!b) return a;
  return std::min(*a, *b);
}

}  // namespace

BoardPublisher::BoardPublisher(PublisherSetup setup)
    : setup_(std::move(setup)),
      statusPacer_(setup_.statusInterval),
      imagePacer_(setup_.imageInterval, setup_.imageSettle),
      thread_([this](std::stop_token stop) { Run(stop); }) {}

BoardPublisher::~BoardPublisher() {
  thread_.request_stop();
  thread_.join();
}

void BoardPublisher::FrameWritten() {
  {
    std::lock_guard lock(mutex_);
    news_ = true;
  }
  wake_.notify_one();
}

void BoardPublisher::PublishNow() {
  const BoardDots dots = setup_.board();
  {
    std::lock_guard lock(mutex_);
    lastImage_ = dots;
  }
  SendStatus();
  SendImage(dots);
}

// The service is asked for its status and dots only with the lock let go:
// the writing thread may hold the service's own lock while it tells of a
// frame.
void BoardPublisher::Run(std::stop_token stop) {
  while (!stop.stop_requested()) {
    bool news = false;
    {
      std::unique_lock lock(mutex_);
      const auto due = Earliest(statusPacer_.Due(), imagePacer_.Due());
      const auto ready = [this] { return news_; };
      if (due) {
        wake_.wait_until(lock, stop, *due, ready);
      } else {
        wake_.wait(lock, stop, ready);
      }
      if (stop.stop_requested()) return;
      news = std::exchange(news_, false);
    }
    const auto now = Pacer::Clock::now();
    const BoardDots dots = setup_.board();
    bool status = false;
    bool image = false;
    {
      std::lock_guard lock(mutex_);
      status = news ? statusPacer_.Offer(now) : statusPacer_.Take(now);
      const bool changed = !lastImage_ || dots != *lastImage_;
      image = news && changed ? imagePacer_.Offer(now) : imagePacer_.Take(now) && changed;
      if (image) lastImage_ = dots;
    }
    if (status) SendStatus();
    if (image) SendImage(dots);
  }
}

void BoardPublisher::SendStatus() {
  setup_.publish({setup_.topics.Status(), setup_.status(), true, 1});
}

void BoardPublisher::SendImage(const BoardDots& dots) {
  setup_.publish({setup_.topics.Image(), setup_.png(dots), true, 0});
}

}  // namespace tablica::service::mqtt
