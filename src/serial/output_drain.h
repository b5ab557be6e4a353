#pragma once

// Waiting for the system's output queue of a port to empty, bounded: both
// backends ask their own question (TIOCOUTQ, ClearCommError's count) and
// share this loop, so a stuck line (flow control held, a cable pulled) can
// never keep a caller waiting past its limit.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace tablica {

// Bytes still in the system's output queue, or nothing when the device can
// no longer be asked (it went away).
using OutputQueueQuery = std::function<std::optional<std::uint32_t>()>;

// The clock the loop reads and the pause it takes between looks.
struct DrainClock {
  std::function<std::chrono::steady_clock::time_point()> now;
  std::function<void(std::chrono::microseconds)> pause;
};

// The steady clock and a plain sleep of the calling thread.
DrainClock SystemDrainClock();

// How long one byte takes on a line of `baudRate` (10 bits a byte: start
// bit, 8 data bits, stop bit); zero for an unknown rate.
std::chrono::microseconds ByteTime(std::uint32_t baudRate);

// Asks `queued` until it says the queue is empty or `limit` has passed.
// Between looks it pauses about as long as the queued bytes need on the line
// (`byteTime` each; at least 1 ms, never past the limit), so a long queue is
// not polled in a busy loop. True once the queue is empty; false when the
// limit passed first or the device could not be asked.
bool WaitForEmptyOutput(const OutputQueueQuery& queued, std::chrono::microseconds byteTime,
                        std::chrono::milliseconds limit, const DrainClock& clock);

}  // namespace tablica
