#include "picture/board_dots.h"

namespace tablica::picture {

namespace {

bool OnBoard(int x, int y) {
  return x >= 0 && x < kDotsWidth && y >= 0 && y < kDotsHeight;
}

}  // namespace

bool Dots::IsLit(int x, int y) const {
  return OnBoard(x, y) && lit_[static_cast<std::size_t>(y * kDotsWidth + x)];
}

void Dots::SetLit(int x, int y, bool lit) {
  if (OnBoard(x, y)) lit_[static_cast<std::size_t>(y * kDotsWidth + x)] = lit;
}

std::string DrawDotsText(const IsLitFn& isLit) {
  // Upper half, lower half, both, none.
  static constexpr const char* kUpper = "\u2580";
  static constexpr const char* kLower = "\u2584";
  static constexpr const char* kFull = "\u2588";
  const std::string edge = "+" + std::string(kDotsWidth, '-') + "+\n";
  std::string out = edge;
  for (int y = 0; y < kDotsHeight; y += 2) {
    out += '|';
    for (int x = 0; x < kDotsWidth; ++x) {
      const bool top = isLit(x, y);
      const bool bottom = isLit(x, y + 1);
      out += top && bottom ? kFull : top ? kUpper : bottom ? kLower : " ";
    }
    out += "|\n";
  }
  return out + edge;
}

std::string DrawDotsText(const Dots& dots) {
  return DrawDotsText([&dots](int x, int y) { return dots.IsLit(x, y); });
}

}  // namespace tablica::picture
