#pragma once

// Windows bitmap files made byte by byte, independently of the program's own
// reader and encoder, so a test can make any header size, bit depth, row
// order, and (by patching the result) any kind of damage.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace tablica::testing {

// Where the fields sit in a file with a 40-byte or longer info header.
namespace bmp_at {
inline constexpr std::size_t kFileSize = 2;
inline constexpr std::size_t kPixelOffset = 10;
inline constexpr std::size_t kHeaderSize = 14;
inline constexpr std::size_t kWidth = 18;
inline constexpr std::size_t kHeight = 22;
inline constexpr std::size_t kPlanes = 26;
inline constexpr std::size_t kBitCount = 28;
inline constexpr std::size_t kCompression = 30;
inline constexpr std::size_t kImageSize = 34;
inline constexpr std::size_t kColoursUsed = 46;
inline constexpr std::size_t kInfoEnd = 54;  // end of a 40-byte header
}  // namespace bmp_at

struct BmpLayout {
  int width = 128;
  int height = 32;
  int bitsPerPixel = 1;
  std::uint32_t headerSize = 40;         // 12, 40, 52, 56, 64, 108 or 124
  bool topDown = false;                  // negative height; not for 12-byte headers
  bool bitfields = false;                // compression 3 with `masks` (16 and 32 bits)
  std::array<std::uint32_t, 4> masks{};  // red, green, blue, alpha
  // 0x00RRGGBB; empty: black and white for 1 bit, a grey ramp for 4 and 8.
  std::vector<std::uint32_t> palette{};
  // Top row first, each row BmpStride() bytes; empty: all zero.
  std::vector<std::uint8_t> rows{};
};

inline std::size_t BmpStride(int width, int bitsPerPixel) {
  return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bitsPerPixel) + 31) / 32 * 4;
}

inline void PutLe16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  PutLe16(out, v & 0xFFFF);
  PutLe16(out, v >> 16);
}
// Overwrites a little-endian field in place (for making damaged files).
inline void SetLe16(std::vector<std::uint8_t>& file, std::size_t at, std::uint32_t v) {
  file.at(at) = static_cast<std::uint8_t>(v);
  file.at(at + 1) = static_cast<std::uint8_t>(v >> 8);
}
inline void SetLe32(std::vector<std::uint8_t>& file, std::size_t at, std::uint32_t v) {
  SetLe16(file, at, v & 0xFFFF);
  SetLe16(file, at + 2, v >> 16);
}

inline std::vector<std::uint32_t> BmpDefaultPalette(int bitsPerPixel) {
  if (bitsPerPixel > 8) return {};
  if (bitsPerPixel == 1) return {0x000000, 0xFFFFFF};
  const std::uint32_t count = 1U << bitsPerPixel;
  std::vector<std::uint32_t> palette{};
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t grey = i * 255 / (count - 1);
    palette.push_back(grey << 16 | grey << 8 | grey);
  }
  return palette;
}

inline std::vector<std::uint8_t> MakeBmp(const BmpLayout& layout) {
  const bool core = layout.headerSize == 12;
  const std::size_t stride = BmpStride(layout.width, layout.bitsPerPixel);
  const std::size_t imageSize = stride * static_cast<std::size_t>(layout.height);
  if (!layout.rows.empty() && layout.rows.size() != imageSize) {
    throw std::invalid_argument("MakeBmp: rows do not match width, height and bit count");
  }
  const std::vector<std::uint32_t> palette =
      layout.palette.empty() ? BmpDefaultPalette(layout.bitsPerPixel) : layout.palette;
  const bool masksAfterHeader = layout.bitfields && layout.headerSize == 40;
  const std::size_t offset =
      14 + layout.headerSize + (masksAfterHeader ? 12 : 0) + palette.size() * (core ? 3 : 4);

  std::vector<std::uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  PutLe32(out, static_cast<std::uint32_t>(offset + imageSize));
  PutLe32(out, 0);
  PutLe32(out, static_cast<std::uint32_t>(offset));
  PutLe32(out, layout.headerSize);
  if (core) {
    PutLe16(out, static_cast<std::uint32_t>(layout.width));
    PutLe16(out, static_cast<std::uint32_t>(layout.height));
    PutLe16(out, 1);
    PutLe16(out, static_cast<std::uint32_t>(layout.bitsPerPixel));
  } else {
    PutLe32(out, static_cast<std::uint32_t>(layout.width));
    PutLe32(out, static_cast<std::uint32_t>(layout.topDown ? -layout.height : layout.height));
    PutLe16(out, 1);
    PutLe16(out, static_cast<std::uint32_t>(layout.bitsPerPixel));
    PutLe32(out, layout.bitfields ? 3 : 0);
    PutLe32(out, static_cast<std::uint32_t>(imageSize));
    PutLe32(out, 2835);
    PutLe32(out, 2835);
    PutLe32(out, static_cast<std::uint32_t>(palette.size()));
    PutLe32(out, 0);
    const bool masksInHeader = layout.headerSize >= 52 && layout.headerSize != 64;
    if (masksInHeader) {
      for (int i = 0; i < (layout.headerSize >= 56 ? 4 : 3); ++i) PutLe32(out, layout.masks[i]);
    }
    if (layout.headerSize >= 108) PutLe32(out, 0x73524742);  // colour space 'sRGB'
    out.resize(14 + layout.headerSize, 0);                   // the rest of the header: zeros
    if (masksAfterHeader) {
      for (int i = 0; i < 3; ++i) PutLe32(out, layout.masks[i]);
    }
  }
  for (const std::uint32_t colour : palette) {
    out.push_back(static_cast<std::uint8_t>(colour));
    out.push_back(static_cast<std::uint8_t>(colour >> 8));
    out.push_back(static_cast<std::uint8_t>(colour >> 16));
    if (!core) out.push_back(0);
  }
  for (int i = 0; i < layout.height; ++i) {
    const int row = layout.topDown ? i : layout.height - 1 - i;  // file order
    if (layout.rows.empty()) {
      out.insert(out.end(), stride, 0);
    } else {
      const auto first = layout.rows.begin() + static_cast<std::ptrdiff_t>(row * stride);
      out.insert(out.end(), first, first + static_cast<std::ptrdiff_t>(stride));
    }
  }
  return out;
}

// A run-length compressed file (4 or 8 bits a pixel, a grey ramp for its
// colour table) whose pixel data is `runs` exactly as given.
inline std::vector<std::uint8_t> MakeRunLengthBmp(int width, int height, int bitsPerPixel,
                                                  const std::vector<std::uint8_t>& runs) {
  std::vector<std::uint8_t> out =
      MakeBmp({.width = width, .height = 1, .bitsPerPixel = bitsPerPixel});
  out.resize(out.size() - BmpStride(width, bitsPerPixel));
  out.insert(out.end(), runs.begin(), runs.end());
  SetLe32(out, bmp_at::kFileSize, static_cast<std::uint32_t>(out.size()));
  SetLe32(out, bmp_at::kHeight, static_cast<std::uint32_t>(height));
  SetLe32(out, bmp_at::kCompression, bitsPerPixel == 8 ? 1 : 2);
  SetLe32(out, bmp_at::kImageSize, static_cast<std::uint32_t>(runs.size()));
  return out;
}

// Rows of a 1-bit picture, top row first, from the colour-table index
// (0 or 1) that `indexAt(x, y)` gives each pixel.
template <class IndexAt>
std::vector<std::uint8_t> OneBitRows(int width, int height, IndexAt indexAt) {
  const std::size_t stride = BmpStride(width, 1);
  std::vector<std::uint8_t> rows(stride * static_cast<std::size_t>(height), 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (indexAt(x, y) != 0) {
        rows[static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x / 8)] |=
            static_cast<std::uint8_t>(0x80 >> (x % 8));
      }
    }
  }
  return rows;
}

// A 1-bit picture of `width` x `height` whose pixel (x, y) has the
// colour-table index `indexAt(x, y)` (black 0, white 1 unless a palette is
// set afterwards).
template <class IndexAt>
BmpLayout OneBitLayout(int width, int height, IndexAt indexAt, bool topDown = false) {
  BmpLayout layout{.width = width, .height = height, .topDown = topDown};
  layout.rows = OneBitRows(width, height, indexAt);
  return layout;
}

inline void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("WriteBytes: cannot write " + path.string());
}

inline void WriteBmp(const std::filesystem::path& path, const BmpLayout& layout) {
  WriteBytes(path, MakeBmp(layout));
}

}  // namespace tablica::testing
