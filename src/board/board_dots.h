#pragma once

// The board's 128 x 32 dots, lit or not: what every picture, text, show
// frame and preview comes down to. Plain C++ with no file format attached,
// so the virtual board can draw from it too.

#include <bitset>
#include <functional>
#include <string>

namespace tablica {

// The board's size, in dots. Every other size follows from these.
inline constexpr int kBoardWidth = 128;
inline constexpr int kBoardHeight = 32;

class BoardDots {
 public:
  // false outside the board.
  bool IsLit(int x, int y) const;
  // Points outside the board are ignored.
  void SetLit(int x, int y, bool lit = true);
  int LitCount() const { return static_cast<int>(lit_.count()); }
  friend bool operator==(const BoardDots&, const BoardDots&) = default;

 private:
  std::bitset<kBoardWidth * kBoardHeight> lit_;
};

// Whether dot (x, y) is lit; x in 0..127, y in 0..31.
using IsLitFn = std::function<bool(int x, int y)>;

// The board as 16 text lines of 128 characters, two dot rows a line
// (half-block characters), framed; lit dots drawn, unlit dots blank.
std::string DrawDotsText(const IsLitFn& isLit);
std::string DrawDotsText(const BoardDots& dots);

}  // namespace tablica
