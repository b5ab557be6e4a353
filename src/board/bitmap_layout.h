#pragma once

// The stages that read a BMP file's headers, shared by the reader of whole
// bitmaps (bitmap.cpp) and the header reader that other decoders ask
// (bitmap_header.cpp). Inside src/board only.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "board/bitmap.h"

namespace tablica::dib {

inline constexpr std::size_t kFileHeaderSize = 14;
inline constexpr std::size_t kCoreHeaderSize = 12;
inline constexpr std::size_t kInfoHeaderSize = 40;
inline constexpr std::size_t kOs2HeaderSize = 64;
inline constexpr std::size_t kMaskBytes = 12;  // red, green, blue after a 40-byte header

inline constexpr std::uint32_t kBiRgb = 0;
inline constexpr std::uint32_t kBiRle8 = 1;
inline constexpr std::uint32_t kBiRle4 = 2;
inline constexpr std::uint32_t kBiBitfields = 3;
inline constexpr std::uint32_t kBiAlphaBitfields = 6;

using Bytes = std::span<const std::uint8_t>;

// Callers check that [at, at + 2) and [at, at + 4) lie inside `b`.
inline std::uint32_t Le16(Bytes b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8;
}
inline std::uint32_t Le32(Bytes b, std::size_t at) {
  return Le16(b, at) | Le16(b, at + 2) << 16;
}

// Everything the headers say that the rest of the reading needs.
struct DibLayout {
  std::uint32_t headerSize = 0;
  std::int64_t width = 0;
  std::int64_t height = 0;  // number of rows, always positive
  bool topDown = false;
  std::uint32_t planes = 0;
  std::uint32_t bitsPerPixel = 0;
  std::uint32_t compression = kBiRgb;
  std::uint32_t imageSize = 0;
  std::uint32_t coloursUsed = 0;
  ChannelMasks masks{};
  std::uint64_t tableOffset = 0;  // where the colour table (or the masks) begin
  std::uint64_t paletteEntrySize = 4;
  std::uint64_t pixelOffset = 0;
};

// The colour table of a picture that brings none: greys from black to white.
std::vector<std::uint32_t> DefaultPalette(int bitsPerPixel);

// Each stage checks what it reads against the file's length before it
// reads, and returns a short English reason, or empty.
std::string ReadFileHeader(Bytes file, DibLayout& layout);
std::string CheckDeclaredFileSize(Bytes file, DibLayout& layout);
std::string ReadInfoHeader(Bytes file, DibLayout& layout);

// Expands the run-length data from layout.pixelOffset (inside `file`,
// checked by the caller) into top-first rows
// of one byte a pixel, StoredRowStride(width, 8) bytes each; pixels the runs
// skip stay 0. Returns the reason when the data ends before the picture
// does, or empty.
std::string ExpandRunLength(Bytes file, const DibLayout& layout, std::vector<std::uint8_t>& rows);

}  // namespace tablica::dib
