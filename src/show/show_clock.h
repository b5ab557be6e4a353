#pragma once

// The player's time: a steady clock for pacing, the local wall-clock time
// for clocks and blank ranges, and a wait that another thread can cut
// short. The system's clock plays to a board; a simulated one makes a
// show's frames without waiting (a preview, the tests).

#include <QDateTime>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <stop_token>

namespace tablica::show {

using SteadyTime = std::chrono::steady_clock::time_point;

// A wake-up call for a waiting player: set from any thread, taken by the
// player.
class WakeSignal {
 public:
  void Signal();
  // Whether a call came since the last Take; clears it.
  bool Take();
  bool Pending() const;
  // Waits until `deadline`, a call or a stop, whichever comes first.
  void WaitUntil(SteadyTime deadline, std::stop_token stop);

 private:
  mutable std::mutex mutex_;
  std::condition_variable_any changed_;
  bool signalled_ = false;
};

class ShowClock {
 public:
  virtual ~ShowClock() = default;
  virtual SteadyTime Now() = 0;
  // The local time at the steady clock's `moment` (to the millisecond).
  virtual QDateTime LocalAt(SteadyTime moment) = 0;
  // Waits until `deadline`, or less when `wake` is signalled or `stop` asked.
  virtual void WaitUntil(SteadyTime deadline, std::stop_token stop, WakeSignal& wake) = 0;
};

class SystemClock : public ShowClock {
 public:
  SteadyTime Now() override { return std::chrono::steady_clock::now(); }
  QDateTime LocalAt(SteadyTime moment) override;
  void WaitUntil(SteadyTime deadline, std::stop_token stop, WakeSignal& wake) override {
    wake.WaitUntil(deadline, std::move(stop));
  }
};

// Time that passes only when told: a wait jumps to its deadline at once
// (unless a wake-up call is pending or a stop asked), and Advance stands
// for the time work takes (a frame on the line).
class SimulatedClock : public ShowClock {
 public:
  // The local time at the start.
  explicit SimulatedClock(QDateTime localStart);
  SteadyTime Now() override { return now_; }
  QDateTime LocalAt(SteadyTime moment) override;
  void WaitUntil(SteadyTime deadline, std::stop_token stop, WakeSignal& wake) override;
  void Advance(std::chrono::microseconds by) { now_ += by; }
  std::chrono::microseconds SinceStart() const;
  // Ends the simulation: a wait that would pass `since` after the start
  // (or wait for ever) stops at that moment and asks `stop` to stop.
  void StopAt(std::chrono::microseconds since, std::stop_source stop);

 private:
  SteadyTime start_{};
  std::optional<SteadyTime> end_;
  std::stop_source endStop_;
  SteadyTime now_{};
  QDateTime localStart_;
};

}  // namespace tablica::show
