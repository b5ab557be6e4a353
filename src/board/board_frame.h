#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>

#include "board/bitmap.h"
#include "board/board_dots.h"

namespace tablica {

inline constexpr std::size_t kFrameSize = 517;
inline constexpr std::size_t kImageOffset = 4;
inline constexpr std::size_t kImageSize = 512;
inline constexpr std::size_t kChecksumOffset = 516;
inline constexpr std::size_t kBlockSize = 513;  // image area + checksum
inline constexpr std::uint8_t kStartByte = 0xAA;
inline constexpr std::uint8_t kHeaderSecondBoard = 2;

// The bytes of one write: the frame, and the second board's block behind it
// when the second board is written too.
inline constexpr std::size_t WriteSize(bool secondBoard) {
  return kFrameSize + (secondBoard ? kBlockSize : 0);
}
// How long `bytes` take on a line of `baud` baud: 10 bits a byte (start
// bit, 8 data bits, stop bit); a baud rate of 0 counts as 1.
std::chrono::microseconds LineTime(std::size_t bytes, std::uint32_t baud);

// The one buffer written to the board: start byte, three header bytes,
// 512 bytes of dots, checksum.
struct BoardFrame {
  std::array<std::uint8_t, kFrameSize> bytes{};
  std::uint8_t* ImageArea() { return bytes.data() + kImageOffset; }
  // The second-board block: image area and checksum byte.
  std::uint8_t* SecondBoardBlock() { return bytes.data() + kImageOffset; }
};

// Bytes the picture packs to: (width div 8) x height.
std::size_t PackedSize(const Bitmap& bitmap);

// Writes (width div 8) x height complemented stored bytes from `destination`
// on, top row first; the rest of each stored row (the last width mod 8 dots
// and the row's alignment) is skipped. The colour table is never looked at:
// a dot is lit where the stored index is 0. The caller makes sure they fit.
void PackBitmap(std::uint8_t* destination, const Bitmap& bitmap);

// XOR of frame bytes 1 .. n-1 (n is clamped to the frame).
std::uint8_t FrameChecksum(const BoardFrame& frame, std::int32_t n);

// Whether a picture can go to the board. An empty bitmap (nothing loaded)
// fits: it sends a blank image.
enum class PictureCheck { Fits, NotOneBit, TooLarge };
PictureCheck CheckPicture(const Bitmap& bitmap);

// Start byte and header; byte 3 announces the second-board block.
void SetFrameHeader(BoardFrame& frame, bool secondBoard);
// Blanks the image area and packs the picture into it, so nothing of an
// earlier picture is left behind. Throws std::length_error for a picture
// that would not fit (CheckPicture says TooLarge).
void FillImageArea(BoardFrame& frame, const Bitmap& bitmap);
// Byte 516 = FrameChecksum(frame, 516).
void StoreChecksum(BoardFrame& frame);

// Header, image area and checksum for one picture: the frame as the first
// board receives it.
void BuildBoardFrame(BoardFrame& frame, const Bitmap& bitmap, bool secondBoard);

}  // namespace tablica
