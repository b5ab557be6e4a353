// Bitmaps written: the .bmp file of a Bitmap, and the board's dots as the
// one-bit bitmap the window and the board take.

#include <algorithm>

#include "board/bitmap.h"
#include "board/bitmap_layout.h"

namespace tablica {

namespace {

using namespace dib;

void PutLe16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  PutLe16(out, v & 0xFFFF);
  PutLe16(out, v >> 16);
}

}  // namespace

std::vector<std::uint8_t> EncodeBitmap(const Bitmap& bitmap) {
  if (bitmap.IsEmpty()) return {};
  const int bpp = bitmap.BitsPerPixel();
  std::vector<std::uint32_t> palette;
  if (bpp <= 8) {
    palette = bitmap.Palette().empty() ? DefaultPalette(bpp) : bitmap.Palette();
    palette.resize(std::min<std::size_t>(palette.size(), std::size_t{1} << bpp));
  }
  const bool bitfields = (bpp == 16 || bpp == 32) && bitmap.Masks() != DefaultMasks(bpp);
  const std::uint32_t offset = static_cast<std::uint32_t>(
      kFileHeaderSize + kInfoHeaderSize + (bitfields ? kMaskBytes : 0) + 4 * palette.size());
  const std::size_t imageSize = bitmap.RowStride() * static_cast<std::size_t>(bitmap.Height());

  std::vector<std::uint8_t> out;
  out.reserve(offset + imageSize);
  out.push_back('B');
  out.push_back('M');
  PutLe32(out, static_cast<std::uint32_t>(offset + imageSize));
  PutLe32(out, 0);
  PutLe32(out, offset);
  PutLe32(out, kInfoHeaderSize);
  PutLe32(out, static_cast<std::uint32_t>(bitmap.Width()));
  PutLe32(out, static_cast<std::uint32_t>(bitmap.Height()));  // positive: bottom-up
  PutLe16(out, 1);
  PutLe16(out, static_cast<std::uint32_t>(bpp));
  PutLe32(out, bitfields ? kBiBitfields : kBiRgb);
  PutLe32(out, static_cast<std::uint32_t>(imageSize));
  PutLe32(out, 2835);  // 72 dots per inch
  PutLe32(out, 2835);
  PutLe32(out, static_cast<std::uint32_t>(palette.size()));
  PutLe32(out, 0);
  if (bitfields) {
    for (std::size_t i = 0; i < 3; ++i) PutLe32(out, bitmap.Masks()[i]);
  }
  for (const std::uint32_t colour : palette) PutLe32(out, colour & 0xFFFFFF);
  for (int r = bitmap.Height() - 1; r >= 0; --r) {
    const std::uint8_t* row = bitmap.Row(r);
    out.insert(out.end(), row, row + bitmap.RowStride());
  }
  return out;
}

Bitmap DotsToBitmap(const BoardDots& dots) {
  constexpr int kStride = kBoardWidth / 8;
  std::vector<std::uint8_t> rows(static_cast<std::size_t>(kStride * kBoardHeight), 0);
  for (int y = 0; y < kBoardHeight; ++y) {
    for (int x = 0; x < kBoardWidth; ++x) {
      // Index 1 (white) is an unlit dot.
      if (!dots.IsLit(x, y)) rows[static_cast<std::size_t>(y * kStride + x / 8)] |= 0x80 >> (x % 8);
    }
  }
  return Bitmap::FromRows(kBoardWidth, kBoardHeight, 1, std::move(rows), {0x000000, 0xFFFFFF});
}

}  // namespace tablica
