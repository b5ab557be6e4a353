#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace tablica {

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
  // Stored bytes of row r (0 = top), RowStride() bytes long.
  const std::uint8_t* Row(int r) const;
  // The colour table, as 0x00RRGGBB entries (for showing the picture only).
  const std::vector<std::uint32_t>& Palette() const { return palette_; }

  // Makes a bitmap from ready rows (top row first); used by tests and the
  // sample-picture generator.
  static Bitmap FromRows(int width, int height, int bitsPerPixel, std::vector<std::uint8_t> rows,
                         std::vector<std::uint32_t> palette = {});

 private:
  friend struct BitmapBuilder;
  int width_ = 0;
  int height_ = 0;
  int bitsPerPixel_ = 0;
  std::size_t stride_ = 0;
  std::vector<std::uint8_t> pixels_;  // top row first
  std::vector<std::uint32_t> palette_;
};

// Stride of a stored row: bits rounded up to whole 32-bit words.
std::size_t StoredRowStride(int width, int bitsPerPixel);

struct BitmapLoadResult {
  Bitmap bitmap;
  std::string error;  // empty on success; a short English reason otherwise
  bool Ok() const { return error.empty(); }
};

// Parses a whole .bmp file held in memory. Never reads outside `file`.
BitmapLoadResult ReadBitmap(std::span<const std::uint8_t> file);
BitmapLoadResult LoadBitmapFile(const std::filesystem::path& path);

// Writes a .bmp file (BITMAPINFOHEADER, bottom-up) for the given bitmap.
std::vector<std::uint8_t> EncodeBitmap(const Bitmap& bitmap);

}  // namespace tablica
