#pragma once

// The program's picture types (Bitmap, BoardDots) turned into the bytes a
// board must receive, read pixel by pixel here rather than with the
// program's own frame builder, so the two can catch each other out.

#include <cstdint>
#include <random>
#include <vector>

#include "board/bitmap.h"
#include "board/board_dots.h"
#include "board_wire.h"

namespace tablica::testing {

// A 128 x 32, 1-bit picture of random dots.
inline Bitmap RandomPicture(std::mt19937& random) {
  std::vector<std::uint8_t> rows(kRowBytes * 32);
  std::uniform_int_distribution<int> byte(0, 255);
  for (auto& b : rows) b = static_cast<std::uint8_t>(byte(random));
  return Bitmap::FromRows(128, 32, 1, std::move(rows), {0x000000, 0xFFFFFF});
}

// The 512 dot bytes of a 128 x 32, 1-bit picture: a dot is lit where the
// pixel has colour-table index 0, so every stored byte is complemented, top
// row first.
inline WireBytes DotBytes(const Bitmap& picture) {
  WireBytes dots;
  for (int y = 0; y < 32; ++y) {
    for (int k = 0; k < kRowBytes; ++k)
      dots.push_back(static_cast<std::uint8_t>(~picture.Row(y)[k]));
  }
  return dots;
}

inline WireBytes DotBytes(const BoardDots& dots) {
  return DotBytesWhere([&](int x, int y) { return dots.IsLit(x, y); });
}

inline WireBytes ExpectedWire(const BoardDots& first, const BoardDots* second = nullptr) {
  const WireBytes secondDots = second != nullptr ? DotBytes(*second) : WireBytes();
  return ExpectedWire(DotBytes(first), second != nullptr ? &secondDots : nullptr);
}

// The frame (517 bytes) and, with the CAN box, the second-board block (513
// bytes) behind it, as one stream.
inline WireBytes ExpectedWire(const Bitmap& first, const Bitmap& second, bool secondBoard) {
  const WireBytes secondDots = DotBytes(second);
  return ExpectedWire(DotBytes(first), secondBoard ? &secondDots : nullptr);
}

}  // namespace tablica::testing
