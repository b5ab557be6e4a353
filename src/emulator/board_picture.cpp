#include "emulator/board_picture.h"

#include <algorithm>
#include <ctime>

namespace emulator {

BoardDots DotsFromBytes(std::span<const std::uint8_t> dots) {
  BoardDots board;
  const std::size_t count = std::min(dots.size(), kDotBytes);
  for (std::size_t i = 0; i < count; ++i) {
    const int x = static_cast<int>(i % 16) * 8;
    const int y = static_cast<int>(i / 16);
    for (int bit = 0; bit < 8; ++bit) board.SetLit(x + bit, y, ((dots[i] >> (7 - bit)) & 1) != 0);
  }
  return board;
}

void BoardsState::Apply(const Unit& unit, std::chrono::system_clock::time_point when) {
  if (unit.kind == UnitKind::Frame) first_ = DotsFromBytes(unit.Dots());
  if (unit.kind == UnitKind::Block) second_ = DotsFromBytes(unit.Dots());
  last_ = Arrival{unit.kind, unit.Board(), unit.checksumOk, unit.bytes.size(), when};
}

std::string DescribeArrival(const Arrival& arrival) {
  const std::time_t t = std::chrono::system_clock::to_time_t(arrival.when);
  std::tm local{};
  localtime_r(&t, &local);
  char clock[16];
  std::strftime(clock, sizeof clock, "%H:%M:%S", &local);

  std::string text;
  switch (arrival.kind) {
    case UnitKind::Frame:
      text = "Tablica 1: ramka";
      break;
    case UnitKind::Block:
      text = "Tablica 2 (CAN): blok";
      break;
    case UnitKind::Garbage:
      text = "Bajty spoza ramki: " + std::to_string(arrival.byteCount);
      break;
  }
  if (arrival.kind != UnitKind::Garbage) {
    text += arrival.checksumOk ? ", suma kontrolna poprawna" : ", suma kontrolna BŁĘDNA";
  }
  return text + " (" + clock + ")";
}

}  // namespace emulator
