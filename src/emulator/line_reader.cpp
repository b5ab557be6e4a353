#include "emulator/line_reader.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <ctime>
#include <thread>

namespace emulator {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kIdleTick{20};
// A wait for bytes that returns sooner found them already there.
constexpr std::chrono::microseconds kAtOnce{500};
constexpr std::size_t kUnpacedChunk = 4096;

// Waits for the descriptors or the time-out; true when `stopFd` is readable.
bool WaitFor(pollfd* fds, nfds_t count, Clock::duration timeout) {
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::max(timeout, Clock::duration::zero()));
  const timespec ts{static_cast<time_t>(ns.count() / 1000000000),
                    static_cast<long>(ns.count() % 1000000000)};
  while (::ppoll(fds, count, &ts, nullptr) < 0) {
    if (errno != EINTR) break;
  }
  return (fds[0].revents & (POLLIN | POLLHUP)) != 0;
}

}  // namespace

std::size_t ReadChunk(std::uint32_t baud) {
  if (baud == 0) return kUnpacedChunk;
  return std::clamp<std::size_t>(baud / 10 / 200, 1, kUnpacedChunk);
}

std::chrono::nanoseconds LineTime(std::size_t bytes, std::uint32_t baud) {
  if (baud == 0) return {};
  return std::chrono::nanoseconds(static_cast<std::int64_t>(bytes) * 10 * 1000000000LL / baud);
}

void LineReader::Deliver(const std::vector<Unit>& units, Moment completed) {
  for (const Unit& unit : units) sink_(unit, completed);
}

void LineReader::Run(int stopFd) {
  std::array<std::uint8_t, kUnpacedChunk> buffer{};
  const std::size_t chunk = ReadChunk(options_.baud);
  auto lastData = Clock::now();
  auto nextRead = Clock::now();  // the paced line's next free moment

  for (;;) {
    const auto now = Clock::now();
    if (options_.baud != 0 && now < nextRead) {
      pollfd stopOnly{stopFd, POLLIN, 0};
      if (WaitFor(&stopOnly, 1, nextRead - now)) break;
      continue;
    }

    std::array<pollfd, 3> fds{pollfd{stopFd, POLLIN, 0}, pollfd{terminal_.MasterFd(), POLLIN, 0},
                              pollfd{terminal_.CloseWatchFd(), POLLIN, 0}};
    if (WaitFor(fds.data(), fds.size(), kIdleTick)) break;
    // Bytes that were there when the line became free (the wait for them
    // returned at once) follow on the line without a gap.
    const bool waitingAtOnce = Clock::now() - now < kAtOnce && now - nextRead < kIdleTick;
    if (fds[2].revents & POLLIN) {
      // A writer closed the port: its exclusive use is released at once, so
      // its next open (a re-open, or the next run) is not refused.
      terminal_.DrainCloseWatch();
      terminal_.ReleaseAbandonedExclusiveUse();
    }

    bool gotData = false;
    if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
      const ssize_t n = ::read(terminal_.MasterFd(), buffer.data(), chunk);
      if (n > 0) {
        gotData = true;
        lastData = Clock::now();
        const auto count = static_cast<std::size_t>(n);
        Deliver(parser_.Feed(std::span<const std::uint8_t>(buffer.data(), count)), lastData);
        if (options_.baud != 0) {
          // A line sends without a gap while bytes wait: then this read's
          // line time follows on from the moment the line was free, so a
          // thread that wakes late on a busy machine does not slow the line
          // down; bytes that came later start the line when they came.
          nextRead = (waitingAtOnce ? nextRead : lastData) + LineTime(count, options_.baud);
        }
      } else if (n < 0 && errno == EIO) {
        // No writer side open at all; wait for one rather than spin.
        std::this_thread::sleep_for(kIdleTick);
      }
    }
    if (gotData) continue;

    const auto looked = Clock::now();
    const auto quiet = looked - lastData;
    if (quiet >= options_.garbageAfter) Deliver(parser_.TakeGarbage(), looked);
    if (quiet >= options_.abandonAfter && parser_.InUnit()) Deliver(parser_.Abandon(), looked);
    terminal_.ReleaseAbandonedExclusiveUse();
  }
  // What was written before the stop is still reported, however fast.
  for (;;) {
    const ssize_t n = ::read(terminal_.MasterFd(), buffer.data(), buffer.size());
    if (n <= 0) break;
    Deliver(parser_.Feed(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(n))),
            Clock::now());
  }
  Deliver(parser_.Abandon(), Clock::now());
}

}  // namespace emulator
