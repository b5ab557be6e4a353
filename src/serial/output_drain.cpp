#include "serial/output_drain.h"

#include <algorithm>
#include <thread>

namespace tablica {

DrainClock SystemDrainClock() {
  return {[] { return std::chrono::steady_clock::now(); },
          [](std::chrono::microseconds pause) { std::this_thread::sleep_for(pause); }};
}

std::chrono::microseconds ByteTime(std::uint32_t baudRate) {
  if (baudRate == 0) return std::chrono::microseconds(0);
  return std::chrono::microseconds(10ULL * 1'000'000ULL / baudRate);
}

bool WaitForEmptyOutput(const OutputQueueQuery& queued, std::chrono::microseconds byteTime,
                        std::chrono::milliseconds limit, const DrainClock& clock) {
  using std::chrono::microseconds;
  constexpr microseconds kShortestPause{1000};
  const auto deadline = clock.now() + limit;
  for (;;) {
    const std::optional<std::uint32_t> bytes = queued();
    if (!bytes) return false;
    if (*bytes == 0) return true;
    const auto left = std::chrono::duration_cast<microseconds>(deadline - clock.now());
    if (left <= microseconds::zero()) return false;
    const microseconds onTheLine = byteTime * static_cast<microseconds::rep>(*bytes);
    clock.pause(std::min(std::max(onTheLine, kShortestPause), left));
  }
}

}  // namespace tablica
