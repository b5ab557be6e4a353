#include "board/board_frame.h"

#include <algorithm>
#include <stdexcept>

namespace tablica {

std::size_t PackedSize(const Bitmap& bitmap) {
  if (bitmap.IsEmpty()) return 0;
  return static_cast<std::size_t>(bitmap.Width() / 8) * static_cast<std::size_t>(bitmap.Height());
}

void PackBitmap(std::uint8_t* destination, const Bitmap& bitmap) {
  const int bytesPerRow = bitmap.Width() / 8;
  std::size_t position = 0;
  for (int r = 0; r < bitmap.Height(); ++r) {
    const std::uint8_t* row = bitmap.Row(r);
    for (int k = 0; k < bytesPerRow; ++k) {
      destination[position++] = static_cast<std::uint8_t>(~row[k]);
    }
  }
}

std::uint8_t FrameChecksum(const BoardFrame& frame, std::int32_t n) {
  const std::int32_t end = std::min<std::int32_t>(n, static_cast<std::int32_t>(kFrameSize));
  std::uint8_t result = 0;
  for (std::int32_t i = 1; i < end; ++i) result ^= frame.bytes[static_cast<std::size_t>(i)];
  return result;
}

PictureCheck CheckPicture(const Bitmap& bitmap) {
  if (bitmap.IsEmpty()) return PictureCheck::Fits;
  if (bitmap.BitsPerPixel() != 1) return PictureCheck::NotOneBit;
  if (PackedSize(bitmap) > kImageSize) return PictureCheck::TooLarge;
  return PictureCheck::Fits;
}

void SetFrameHeader(BoardFrame& frame, bool secondBoard) {
  frame.bytes[0] = kStartByte;
  frame.bytes[1] = 1;
  frame.bytes[2] = 0;
  frame.bytes[3] = secondBoard ? kHeaderSecondBoard : 0;
}

void FillImageArea(BoardFrame& frame, const Bitmap& bitmap) {
  if (PackedSize(bitmap) > kImageSize) {
    throw std::length_error("picture does not fit the board's image area");
  }
  std::fill_n(frame.ImageArea(), kImageSize, std::uint8_t{0});
  PackBitmap(frame.ImageArea(), bitmap);
}

void StoreChecksum(BoardFrame& frame) {
  frame.bytes[kChecksumOffset] = FrameChecksum(frame, static_cast<std::int32_t>(kChecksumOffset));
}

void BuildBoardFrame(BoardFrame& frame, const Bitmap& bitmap, bool secondBoard) {
  SetFrameHeader(frame, secondBoard);
  FillImageArea(frame, bitmap);
  StoreChecksum(frame);
}

std::chrono::microseconds LineTime(std::size_t bytes, std::uint32_t baud) {
  return std::chrono::microseconds(bytes * 10ULL * 1'000'000ULL / (baud == 0 ? 1 : baud));
}

}  // namespace tablica
