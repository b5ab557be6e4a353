#pragma once

// The bytes a board receives, written out from the board's byte layout with
// nothing but the standard library, so the program's frame builder and the
// virtual board's parser are both checked against a third, plain reading of
// the same rule:
//
//   frame: 0xAA, 0x01, 0x00, header (2 when a second board follows, else 0),
//          512 dot bytes, checksum (XOR of everything after 0xAA);
//   block: 512 dot bytes for the second board, checksum (XOR of 0x01, 0x00,
//          0x02 and the dots), sent right after a frame whose header is 2.
//
// Dot (x, y) of the 128 x 32 board is bit 7 - (x mod 8) of dot byte
// 16 y + x div 8, set when the dot is lit.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace tablica::testing {

using WireBytes = std::vector<std::uint8_t>;

inline constexpr int kRowBytes = 16;  // a 128-dot row, 1 bit a dot
inline constexpr std::size_t kDotBytes = 512;
inline constexpr std::size_t kFrameBytes = 4 + kDotBytes + 1;
inline constexpr std::size_t kBlockBytes = kDotBytes + 1;
inline constexpr std::uint8_t kStartByte = 0xAA;
inline constexpr std::uint8_t kHeaderAlone = 0x00;
inline constexpr std::uint8_t kHeaderWithBlock = 0x02;

inline std::uint8_t XorOf(const WireBytes& bytes, std::uint8_t start = 0) {
  for (const std::uint8_t b : bytes) start ^= b;
  return start;
}

// A frame around `dots`, whatever their number (a test of the reader may
// want a short or long one), with the header byte given.
inline WireBytes FrameBytes(const WireBytes& dots, std::uint8_t header = kHeaderAlone) {
  WireBytes frame(4 + dots.size() + 1, 0);
  frame[0] = kStartByte;
  frame[1] = 0x01;
  frame[3] = header;
  std::copy(dots.begin(), dots.end(), frame.begin() + 4);
  frame.back() = XorOf(dots, 0x01 ^ 0x00 ^ header);
  return frame;
}

// The second board's block for `dots`.
inline WireBytes BlockBytes(const WireBytes& dots) {
  WireBytes block = dots;
  block.push_back(XorOf(dots, 0x01 ^ 0x00 ^ kHeaderWithBlock));
  return block;
}

// What one Send puts on the wire: the frame and, when `secondDots` is
// given, the second board's block behind it.
inline WireBytes ExpectedWire(const WireBytes& firstDots, const WireBytes* secondDots) {
  WireBytes wire = FrameBytes(firstDots, secondDots != nullptr ? kHeaderWithBlock : kHeaderAlone);
  if (secondDots != nullptr) {
    const WireBytes block = BlockBytes(*secondDots);
    wire.insert(wire.end(), block.begin(), block.end());
  }
  return wire;
}

// The dot bytes of a board whose dot (x, y) is lit where `litAt(x, y)`.
template <class LitAt>
WireBytes DotBytesWhere(LitAt litAt) {
  WireBytes dots(kDotBytes, 0);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 128; ++x) {
      if (litAt(x, y)) {
        dots[static_cast<std::size_t>(kRowBytes * y + x / 8)] |=
            static_cast<std::uint8_t>(0x80 >> (x % 8));
      }
    }
  }
  return dots;
}

// Dot bytes that differ from byte to byte (and with `seed`), so a shifted,
// dropped or repeated byte shows.
inline WireBytes PatternDots(std::uint8_t seed) {
  WireBytes dots(kDotBytes);
  for (std::size_t i = 0; i < dots.size(); ++i) dots[i] = static_cast<std::uint8_t>(seed + i * 7);
  return dots;
}

inline WireBytes Joined(std::initializer_list<WireBytes> parts) {
  WireBytes all;
  for (const WireBytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

}  // namespace tablica::testing
