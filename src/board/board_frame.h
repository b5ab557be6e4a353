#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "board/bitmap.h"

namespace tablica {

inline constexpr std::size_t kFrameSize = 517;
inline constexpr std::size_t kImageOffset = 4;
inline constexpr std::size_t kImageSize = 512;
inline constexpr std::size_t kChecksumOffset = 516;
inline constexpr std::size_t kBlockSize = 513;  // image area + checksum
inline constexpr std::uint8_t kStartByte = 0xAA;
inline constexpr std::uint8_t kHeaderSecondBoard = 2;
inline constexpr int kBoardWidth = 128;
inline constexpr int kBoardHeight = 32;

// The one buffer written to the board: start byte, three header bytes,
// 512 bytes of dots, checksum.
struct BoardFrame {
  std::array<std::uint8_t, kFrameSize> bytes{};
  std::uint8_t* ImageArea() { return bytes.data() + kImageOffset; }
};

// Bytes the picture packs to: (width div 8) x height.
std::size_t PackedSize(const Bitmap& bitmap);

// Writes (width div 8) x height complemented stored bytes from `destination`
// on, top row first. The caller makes sure they fit.
void PackBitmap(std::uint8_t* destination, const Bitmap& bitmap);

// XOR of frame bytes 1 .. n-1.
std::uint8_t FrameChecksum(const BoardFrame& frame, std::int32_t n);

}  // namespace tablica
