#pragma once

// Text forms of what the virtual board received: one JSON object a line for
// scripts and tests, and a drawing of a board for a terminal.

#include <chrono>
#include <string>

#include "emulator/board_picture.h"
#include "emulator/frame_parser.h"

namespace emulator {

// {"event":"ready","port":7,"device":"/dev/pts/3"} (port absent when 0).
std::string ReadyJson(int port, const std::string& device);
// {"event":"frame","board":1,"bytes":"aa01...","checksum_ok":true}
std::string UnitJson(const Unit& unit);
// The same with the moment the unit was complete, in seconds on the
// monotonic clock: {...,"checksum_ok":true,"t":12345.678901}
std::string UnitJson(const Unit& unit, std::chrono::steady_clock::time_point completed);
// Seconds on the monotonic clock, to the microsecond: "12345.678901".
std::string MonotonicSeconds(std::chrono::steady_clock::time_point moment);
// A JSON string literal, quotes included.
std::string JsonString(const std::string& text);

// The board as 16 text lines of 128 characters, two dot rows a line
// (half-block characters), framed; lit dots drawn, dark dots blank.
std::string DrawBoard(const BoardDots& board);

}  // namespace emulator
