#include "board/board_dots.h"

namespace tablica {

namespace {

bool OnBoard(int x, int y) {
  return x >= 0 && x < kBoardWidth && y >= 0 && y < kBoardHeight;
}

}  // namespace

bool BoardDots::IsLit(int x, int y) const {
  return OnBoard(x, y) && lit_[static_cast<std::size_t>(y * kBoardWidth + x)];
}

void BoardDots::SetLit(int x, int y, bool lit) {
  if (OnBoard(x, y)) lit_[static_cast<std::size_t>(y * kBoardWidth + x)] = lit;
}

std::string DrawDotsText(const IsLitFn& isLit) {
  // Upper half, lower half, both, none.
  static constexpr const char* kUpper = "\u2580";
  static constexpr const char* kLower = "\u2584";
  static constexpr const char* kFull = "\u2588";
  const std::string edge = "+" + std::string(kBoardWidth, '-') + "+\n";
  std::string out = edge;
  for (int y = 0; y < kBoardHeight; y += 2) {
    out += '|';
    for (int x = 0; x < kBoardWidth; ++x) {
      const bool top = isLit(x, y);
      const bool bottom = isLit(x, y + 1);
      out += top && bottom ? kFull : top ? kUpper : bottom ? kLower : " ";
    }
    out += "|\n";
  }
  return out + edge;
}

std::string DrawDotsText(const BoardDots& dots) {
  return DrawDotsText([&dots](int x, int y) { return dots.IsLit(x, y); });
}

}  // namespace tablica
