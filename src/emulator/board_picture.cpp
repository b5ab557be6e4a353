#include "emulator/board_picture.h"

#include <algorithm>
#include <bit>
#include <ctime>

namespace emulator {

BoardPicture::BoardPicture(std::span<const std::uint8_t> dots) {
  dots_.fill(0);
  std::copy_n(dots.begin(), std::min(dots.size(), dots_.size()), dots_.begin());
}

bool BoardPicture::IsLit(int x, int y) const {
  if (x < 0 || x >= kBoardWidth || y < 0 || y >= kBoardHeight) return false;
  const std::uint8_t byte = dots_[static_cast<std::size_t>(16 * y + x / 8)];
  return ((byte >> (7 - x % 8)) & 1) != 0;
}

int BoardPicture::LitCount() const {
  int count = 0;
  for (std::uint8_t b : dots_) count += std::popcount(b);
  return count;
}

void BoardsState::Apply(const Unit& unit, std::chrono::system_clock::time_point when) {
  if (unit.kind == UnitKind::Frame) first_ = BoardPicture(unit.Dots());
  if (unit.kind == UnitKind::Block) second_ = BoardPicture(unit.Dots());
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
