#include "show/show_clock.h"

#include <algorithm>

namespace tablica::show {

void WakeSignal::Signal() {
  {
    const std::lock_guard lock(mutex_);
    signalled_ = true;
  }
  changed_.notify_all();
}

bool WakeSignal::Take() {
  const std::lock_guard lock(mutex_);
  return std::exchange(signalled_, false);
}

bool WakeSignal::Pending() const {
  const std::lock_guard lock(mutex_);
  return signalled_;
}

void WakeSignal::WaitUntil(SteadyTime deadline, std::stop_token stop) {
  std::unique_lock lock(mutex_);
  changed_.wait_until(lock, stop, deadline, [this] { return signalled_; });
}

QDateTime SystemClock::LocalAt(SteadyTime moment) {
  const SteadyTime now = Now();
  return QDateTime::currentDateTime().addMSecs(
      std::chrono::round<std::chrono::milliseconds>(moment - now).count());
}

SimulatedClock::SimulatedClock(QDateTime localStart)
    : start_(std::chrono::steady_clock::now()), now_(start_), localStart_(std::move(localStart)) {}

QDateTime SimulatedClock::LocalAt(SteadyTime moment) {
  return localStart_.addMSecs(
      std::chrono::round<std::chrono::milliseconds>(moment - start_).count());
}

void SimulatedClock::WaitUntil(SteadyTime deadline, std::stop_token stop, WakeSignal& wake) {
  if (stop.stop_requested() || wake.Pending()) return;
  if (end_ && deadline >= *end_) {
    now_ = std::max(now_, *end_);
    endStop_.request_stop();
    return;
  }
  if (deadline == SteadyTime::max()) return;  // nothing to wait for that would ever come
  now_ = std::max(now_, deadline);
}

void SimulatedClock::StopAt(std::chrono::microseconds since, std::stop_source stop) {
  end_ = start_ + since;
  endStop_ = std::move(stop);
}

std::chrono::microseconds SimulatedClock::SinceStart() const {
  return std::chrono::duration_cast<std::chrono::microseconds>(now_ - start_);
}

}  // namespace tablica::show
