#pragma once

// A bound on how often something is published: a show may write seven
// frames a second for hours, and a broker (and Home Assistant's history
// behind it) needs the board's picture far less often. The first news
// after a quiet spell goes out at once; news that comes sooner than the
// interval after the last publication waits until the interval is over,
// and then only the newest goes out. So nothing is published more often
// than once an interval, and the last news is always published.

#include <chrono>
#include <optional>

namespace tablica::service::mqtt {

class Pacer {
 public:
  using Clock = std::chrono::steady_clock;

  explicit Pacer(Clock::duration interval) : interval_(interval) {}

  // News came at `now`: true when it is to be published now (and counted
  // as published), false when it waits.
  bool Offer(Clock::time_point now) {
    if (!last_ || now - *last_ >= interval_) {
      last_ = now;
      waiting_ = false;
      return true;
    }
    waiting_ = true;
    return false;
  }

  // When the waiting news is due; unset when nothing waits.
  std::optional<Clock::time_point> Due() const {
    if (!waiting_) return std::nullopt;
    return *last_ + interval_;
  }

  // True when news waits and is due at `now` (then counted as published).
  bool Take(Clock::time_point now) {
    if (!waiting_ || now < *last_ + interval_) return false;
    last_ = now;
    waiting_ = false;
    return true;
  }

 private:
  Clock::duration interval_;
  std::optional<Clock::time_point> last_;
  bool waiting_ = false;
};

}  // namespace tablica::service::mqtt
