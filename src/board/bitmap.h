#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "board/board_dots.h"

namespace tablica {

// Largest width or height the reader accepts for the board; anything larger
// is refused as absurd rather than allocated. A picture read to be converted
// may have any sides within the same area.
inline constexpr int kMaxBitmapSide = 16384;

// Red, green, blue and alpha masks of a 16- or 32-bit pixel.
using ChannelMasks = std::array<std::uint32_t, 4>;

// A Windows bitmap as the board needs it: the stored pixel bytes exactly as
// the file has them (colour-table indices untouched), rows 4-byte aligned,
// row 0 always the top row whether the file stores bottom-up or top-down.
class Bitmap {
 public:
  Bitmap() = default;  // empty: 0 x 0

  int Width() const { return width_; }
  int Height() const { return height_; }
  int BitsPerPixel() const { return bitsPerPixel_; }
  bool IsEmpty() const { return width_ == 0 || height_ == 0; }
  std::size_t RowStride() const { return stride_; }
  // Stored bytes of row r (0 = top), RowStride() bytes long; null when r is
  // not a row of the picture.
  const std::uint8_t* Row(int r) const;
  // The colour table, as 0x00RRGGBB entries (for showing the picture only).
  const std::vector<std::uint32_t>& Palette() const { return palette_; }
  // Where the red, green, blue and alpha bits sit in a 16- or 32-bit pixel.
  const ChannelMasks& Masks() const { return masks_; }

  // Colour of pixel (x, y), y = 0 at the top, as 0x00RRGGBB, for showing the
  // picture on screen. An index outside the colour table shows as black;
  // a point outside the picture is black too.
  std::uint32_t PixelRgb(int x, int y) const;

  // Makes a bitmap from ready rows (top row first, each RowStride() bytes);
  // used by tests and the sample-picture generator. Without a colour table
  // a 1-bit picture is black (index 0) and white, deeper ones grey. Throws
  // std::invalid_argument when the sizes do not agree.
  static Bitmap FromRows(int width, int height, int bitsPerPixel, std::vector<std::uint8_t> rows,
                         std::vector<std::uint32_t> palette = {});

 private:
  friend struct BitmapBuilder;
  std::uint32_t StoredValue(int x, int y) const;

  int width_ = 0;
  int height_ = 0;
  int bitsPerPixel_ = 0;
  std::size_t stride_ = 0;
  std::vector<std::uint8_t> pixels_;  // top row first
  std::vector<std::uint32_t> palette_;
  ChannelMasks masks_{};
};

// Stride of a stored row: bits rounded up to whole 32-bit words.
std::size_t StoredRowStride(int width, int bitsPerPixel);

// The masks a 16- or 32-bit file means when it gives none (5-5-5 and 8-8-8).
ChannelMasks DefaultMasks(int bitsPerPixel);

struct BitmapLoadResult {
  Bitmap bitmap;
  std::string error;  // empty on success; a short English reason otherwise
  bool Ok() const { return error.empty(); }
};

// What a bitmap is read for. The board's own road takes only files whose
// every field agrees. A picture to be converted is read as picture
// viewers read it: run-length data is expanded into 8 bits a pixel (pixels
// the runs skip take colour-table entry 0), a long, thin picture is taken
// within the board's area limit, and the fields a viewer does not need (the declared file and image
// sizes, a colour table without a count that runs into the pixels) are not held against the file.
enum class BitmapUse { Board, Picture };

// Parses a whole .bmp file held in memory. Never reads outside `file`.
// Uncompressed and bit-field files of 1, 4, 8, 16, 24 and 32 bits per pixel
// with any of the usual info headers load; run-length files (except for a
// picture) and embedded JPEG/PNG files, and anything damaged or
// implausible, are refused.
BitmapLoadResult ReadBitmap(std::span<const std::uint8_t> file, BitmapUse use = BitmapUse::Board);
BitmapLoadResult LoadBitmapFile(const std::filesystem::path& path);

// What a BMP file's headers declare, read without its pixels: for a
// decoder other than ReadBitmap, which takes more kinds of file (run-length
// compressed ones, pictures over 16384 pixels) but must not be handed a
// file cut short, nor one too large to hold.
struct BitmapHeader {
  std::int64_t width = 0;   // as stored; may be nonsense (zero, negative)
  std::int64_t height = 0;  // number of rows, positive for both row orders
  int bitsPerPixel = 0;
  std::uint32_t compression = 0;
  // Fewer whole rows stored than the header declares. Known only for
  // uncompressed and bit-field files of a sensible width and depth; false
  // otherwise.
  bool cutShort = false;
};

// The headers of a .bmp file held in memory, or none when the file does not
// start with a BMP file header and a known info header (another decoder
// would guess at what such a header means). Never reads outside
// `file`.
std::optional<BitmapHeader> ReadBitmapHeader(std::span<const std::uint8_t> file);

// The board's dots as the one-bit 128 x 32 bitmap the window and the
// board take: colour-table entry 0 black (a lit dot), entry 1 white, so
// the window, the board and picture viewers agree.
Bitmap DotsToBitmap(const BoardDots& dots);

// Writes a .bmp file (40-byte info header, bottom-up) for the given bitmap;
// an empty bitmap gives an empty vector.
std::vector<std::uint8_t> EncodeBitmap(const Bitmap& bitmap);

}  // namespace tablica
