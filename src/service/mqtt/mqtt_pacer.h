#pragma once

// A bound on how often something is published: a show may write seven
// frames a second for hours, and a broker (and Home Assistant's history
// behind it) needs the board's picture far less often. The first news
// after a quiet spell goes out at once, or `settle` after it came where
// one is given; news that comes sooner than the interval after the last
// publication waits until the interval is over, and then only the newest
// goes out. So nothing is published more often than once an interval, and
// the last news is always published.

#include <algorithm>
#include <chrono>
#include <optional>

namespace tablica::service::mqtt {

class Pacer {
 public:
  using Clock = std::chrono::steady_clock;

  explicit Pacer(Clock::duration interval, Clock::duration settle = {})
      : interval_(interval), settle_(settle) {}

  // News came at `now`: true when it is to be published now (and counted
  // as published), false when it waits.
  bool Offer(Clock::time_point now) {
    const bool quiet = !last_ || now - *last_ >= interval_;
    if (quiet && settle_ == Clock::duration::zero()) {
      last_ = now;
      waiting_ = false;
      return true;
    }
    if (!waiting_) due_ = quiet ? now + settle_ : std::max(*last_ + interval_, now + settle_);
    waiting_ = true;
    return false;
  }

  // When the waiting news is due; unset when nothing waits.
  std::optional<Clock::time_point> Due() const {
    if (!waiting_) return std::nullopt;
    return due_;
  }

  // True when news waits and is due at `now` (then counted as published).
  bool Take(Clock::time_point now) {
    if (!waiting_ || now < due_) return false;
    last_ = now;
    waiting_ = false;
    return true;
  }

 private:
  Clock::duration interval_;
  Clock::duration settle_;
  std::optional<Clock::time_point> last_;
  Clock::time_point due_{};
  bool waiting_ = false;
};

}  // namespace tablica::service::mqtt
