#pragma once

// The board's 128 x 32 dots as a picture made for it: lit or unlit, with
// no file format attached. Plain C++, so the virtual board's terminal view
// can draw from it too.

#include <bitset>
#include <functional>
#include <string>

namespace tablica::picture {

inline constexpr int kDotsWidth = 128;
inline constexpr int kDotsHeight = 32;

class Dots {
 public:
  // false outside the board.
  bool IsLit(int x, int y) const;
  // Points outside the board are ignored.
  void SetLit(int x, int y, bool lit = true);
  int LitCount() const { return static_cast<int>(lit_.count()); }
  friend bool operator==(const Dots&, const Dots&) = default;

 private:
  std::bitset<kDotsWidth * kDotsHeight> lit_;
};

// Whether dot (x, y) is lit; x in 0..127, y in 0..31.
using IsLitFn = std::function<bool(int x, int y)>;

// The board as 16 text lines of 128 characters, two dot rows a line
// (half-block characters), framed; lit dots drawn, unlit dots blank.
std::string DrawDotsText(const IsLitFn& isLit);
std::string DrawDotsText(const Dots& dots);

}  // namespace tablica::picture
