#pragma once

// Reads the pseudo-terminal, optionally at the pace of a real line, and
// hands every unit the parser finds to a sink.

#include <chrono>
#include <cstdint>
#include <functional>

#include "emulator/frame_parser.h"
#include "emulator/pseudo_terminal.h"

namespace emulator {

struct ReaderOptions {
  // 0: read as fast as bytes come; otherwise at most this many bits a second,
  // 10 bits a byte (start, 8 data, stop), so a writer feels a real line.
  std::uint32_t baud = 0;
  // A line quiet this long: garbage collected so far is reported.
  std::chrono::milliseconds garbageAfter{100};
  // A line quiet this long: a unit in progress will not be finished, and is
  // reported as garbage.
  std::chrono::milliseconds abandonAfter{1000};
};

// Bytes read at one go: about 5 ms of line time when paced.
std::size_t ReadChunk(std::uint32_t baud);
// Line time of `bytes` bytes at `baud` (10 bits a byte).
std::chrono::nanoseconds LineTime(std::size_t bytes, std::uint32_t baud);

// The moment a unit was complete: when the read that brought its last byte
// returned (for garbage, when the quiet line handed it over), on the
// monotonic clock.
using Moment = std::chrono::steady_clock::time_point;

class LineReader {
 public:
  using UnitSink = std::function<void(const Unit&, Moment completed)>;

  LineReader(PseudoTerminal& terminal, ReaderOptions options, UnitSink sink)
      : terminal_(terminal), options_(options), sink_(std::move(sink)) {}

  // Reads until `stopFd` becomes readable; then reports whatever is still
  // pending as garbage and returns.
  void Run(int stopFd);

 private:
  void Deliver(const std::vector<Unit>& units, Moment completed);

  PseudoTerminal& terminal_;
  ReaderOptions options_;
  UnitSink sink_;
  FrameParser parser_;
};

}  // namespace emulator
