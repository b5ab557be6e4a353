#pragma once

// Pictures for the Send command and the bytes a Send of them must put on
// the wire, worked out here from the board's byte layout rather than with the
// program's own frame builder, so the two can catch each other out.

#include <cstdint>
#include <random>
#include <vector>

#include "board/bitmap.h"
#include "board/board_dots.h"

namespace tablica::testing {

inline constexpr int kRowBytes = 16;  // a 128-dot row, 1 bit a dot

// A 128 x 32, 1-bit picture of random dots.
inline Bitmap RandomPicture(std::mt19937& random) {
  std::vector<std::uint8_t> rows(kRowBytes * 32);
  std::uniform_int_distribution<int> byte(0, 255);
  for (auto& b : rows) b = static_cast<std::uint8_t>(byte(random));
  return Bitmap::FromRows(128, 32, 1, std::move(rows), {0x000000, 0xFFFFFF});
}

// The 512 dot bytes of a picture: every stored byte complemented, top row
// first.
inline std::vector<std::uint8_t> DotBytes(const Bitmap& picture) {
  std::vector<std::uint8_t> dots;
  for (int y = 0; y < 32; ++y) {
    for (int k = 0; k < kRowBytes; ++k)
      dots.push_back(static_cast<std::uint8_t>(~picture.Row(y)[k]));
  }
  return dots;
}

// The 512 dot bytes of the board's dots: dot (x, y) is bit 7 - (x mod 8) of
// byte 16 y + x div 8, set when lit.
inline std::vector<std::uint8_t> DotBytes(const BoardDots& dots) {
  std::vector<std::uint8_t> bytes(kRowBytes * 32, 0);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 128; ++x) {
      if (dots.IsLit(x, y))
        bytes[kRowBytes * y + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
  }
  return bytes;
}

// The frame and, when `second` is given, the second-board block behind it,
// from the dot bytes of each board.
inline std::vector<std::uint8_t> ExpectedWire(const std::vector<std::uint8_t>& firstDots,
                                              const std::vector<std::uint8_t>* secondDots) {
  const std::uint8_t header = secondDots != nullptr ? 2 : 0;
  std::vector<std::uint8_t> wire = {0xAA, 0x01, 0x00, header};
  std::uint8_t check = 0x01 ^ header;
  for (std::uint8_t dot : firstDots) {
    wire.push_back(dot);
    check ^= dot;
  }
  wire.push_back(check);
  if (secondDots != nullptr) {
    check = 0x01 ^ header;
    for (std::uint8_t dot : *secondDots) {
      wire.push_back(dot);
      check ^= dot;
    }
    wire.push_back(check);
  }
  return wire;
}

inline std::vector<std::uint8_t> ExpectedWire(const BoardDots& first,
                                              const BoardDots* second = nullptr) {
  const std::vector<std::uint8_t> secondDots =
      second != nullptr ? DotBytes(*second) : std::vector<std::uint8_t>();
  return ExpectedWire(DotBytes(first), second != nullptr ? &secondDots : nullptr);
}

// The frame (517 bytes) and, with the CAN box, the second-board block (513
// bytes) behind it, as one stream.
inline std::vector<std::uint8_t> ExpectedWire(const Bitmap& first, const Bitmap& second,
                                              bool secondBoard) {
  const std::vector<std::uint8_t> secondDots = DotBytes(second);
  return ExpectedWire(DotBytes(first), secondBoard ? &secondDots : nullptr);
}

}  // namespace tablica::testing
