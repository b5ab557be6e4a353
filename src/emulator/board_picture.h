#pragma once

// What a board shows: 128 x 32 dots, taken from the 512 dot bytes of a
// frame or block. Dot (x, y) is bit 7 - (x mod 8) of dot byte 16 y + x / 8;
// a set bit lights the dot.

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "board/board_dots.h"
#include "emulator/frame_parser.h"

namespace emulator {

using tablica::BoardDots;
using tablica::kBoardHeight;
using tablica::kBoardWidth;

// The dots of the first 512 bytes of `dots`, decoded by the board's own
// rule; missing bytes leave the dots dark.
BoardDots DotsFromBytes(std::span<const std::uint8_t> dots);

// What arrived last, for the status line.
struct Arrival {
  UnitKind kind = UnitKind::Garbage;
  int board = 0;
  bool checksumOk = false;
  std::size_t byteCount = 0;
  std::chrono::system_clock::time_point when;
};

// Both boards and the last arrival: the state every view draws from.
class BoardsState {
 public:
  // Applies a received unit: a frame or block replaces its board's dots
  // (even with a bad checksum: the board shows what it got, the status line
  // says it was wrong); garbage changes only the last arrival.
  void Apply(const Unit& unit, std::chrono::system_clock::time_point when);

  const BoardDots& Board(int board) const { return board == 2 ? second_ : first_; }
  const std::optional<Arrival>& Last() const { return last_; }

 private:
  BoardDots first_;
  BoardDots second_;
  std::optional<Arrival> last_;
};

// The status line: "Tablica 1: ramka, suma kontrolna poprawna (12:34:56)".
std::string DescribeArrival(const Arrival& arrival);

}  // namespace emulator
