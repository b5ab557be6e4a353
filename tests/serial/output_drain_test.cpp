// The bounded wait for a port's output queue to empty, on a fake line whose
// queue drains at the wire's pace (or not at all), with a fake clock.

#include "serial/output_drain.h"

#include <gtest/gtest.h>

#include <string>

namespace tablica {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A line that sends one byte every `byteTime` from the start, unless stuck;
// it counts how often it was asked.
struct FakeLine {
  std::uint32_t queuedAtStart = 0;
  std::chrono::microseconds byteTime{260};
  bool stuck = false;
  int failAtLook = -1;  // the look at which the device is gone
  Clock::time_point now{};
  int looks = 0;

  std::optional<std::uint32_t> Queued() {
    if (looks++ == failAtLook) return std::nullopt;
    if (stuck || byteTime.count() == 0) return queuedAtStart;
    const auto sent = static_cast<std::uint32_t>((now - Clock::time_point{}) / byteTime);
    return sent >= queuedAtStart ? 0 : queuedAtStart - sent;
  }
  DrainClock MakeClock() {
    return {[this] { return now; }, [this](std::chrono::microseconds pause) { now += pause; }};
  }
};

TEST(OutputDrain, WaitsAsLongAsTheLineNeedsAndNeverPastTheLimit) {
  struct Row {
    std::string name;
    std::uint32_t queued;
    bool stuck;
    int failAtLook;
    std::chrono::milliseconds limit;
    bool drained;
    std::chrono::microseconds earliest, latest;  // when the wait may end
    int mostLooks;
  };
  const Row rows[] = {
      {"empty at the first look", 0, false, -1, 300ms, true, 0us, 0us, 1},
      {"a frame drains in its wire time", 517, false, -1, 300ms, true, 134420us, 136000us, 4},
      {"a frame and a block", 1030, false, -1, 400ms, true, 267800us, 269000us, 4},
      {"the limit comes first", 517, false, -1, 50ms, false, 50ms, 50ms, 3},
      {"a stuck line ends at the limit", 100, true, -1, 300ms, false, 300ms, 300ms, 13},
      {"no time at all", 517, false, -1, 0ms, false, 0us, 0us, 1},
      {"the device went away", 517, false, 1, 300ms, false, 0us, 136000us, 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeLine line{.queuedAtStart = row.queued, .stuck = row.stuck, .failAtLook = row.failAtLook};
    const bool drained = WaitForEmptyOutput([&] { return line.Queued(); }, line.byteTime, row.limit,
                                            line.MakeClock());
    EXPECT_EQ(drained, row.drained);
    const auto waited =
        std::chrono::duration_cast<std::chrono::microseconds>(line.now - Clock::time_point{});
    EXPECT_GE(waited, row.earliest);
    EXPECT_LE(waited, row.latest);
    EXPECT_LE(line.looks, row.mostLooks) << "looks, not a busy loop";
  }
}

TEST(OutputDrain, AnUnknownRateIsAskedEveryMillisecond) {
  FakeLine line{.queuedAtStart = 10, .byteTime = 0us, .stuck = true};
  EXPECT_FALSE(WaitForEmptyOutput([&] { return line.Queued(); }, 0us, 20ms, line.MakeClock()));
  EXPECT_EQ(line.now - Clock::time_point{}, 20ms);
  EXPECT_EQ(line.looks, 21);
}

}  // namespace
}  // namespace tablica
