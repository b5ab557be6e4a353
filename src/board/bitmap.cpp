#include "board/bitmap.h"

#include "board/bitmap_layout.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <fstream>
#include <new>
#include <stdexcept>

namespace tablica {

namespace {

using namespace dib;

// The largest picture that can be valid is 16384 x 16384 at 32 bits per
// pixel (1 GiB); a bigger file is not read into memory at all.
constexpr std::uintmax_t kMaxFileBytes = (std::uintmax_t{1} << 30) + (std::uintmax_t{1} << 20);

std::string CheckGeometry(const DibLayout& layout, BitmapUse use) {
  if (layout.width <= 0) return "bad width";
  if (layout.height <= 0) return "bad height";
  if (use == BitmapUse::Board &&
      (layout.width > kMaxBitmapSide || layout.height > kMaxBitmapSide)) {
    return "picture larger than 16384 pixels on a side";
  }
  // A picture may be long and thin, within the same area (and memory).
  constexpr std::int64_t kMaxArea = std::int64_t{kMaxBitmapSide} * kMaxBitmapSide;
  if (layout.width > kMaxArea / layout.height) return "picture larger than 16384 × 16384 pixels";
  if (layout.planes != 1) return "plane count must be 1";
  switch (layout.bitsPerPixel) {
    case 1:
    case 4:
    case 8:
    case 24:
      return {};
    case 16:
    case 32:
      if (layout.headerSize == kCoreHeaderSize) break;
      return {};
    default:
      break;
  }
  return "unsupported bit count " + std::to_string(layout.bitsPerPixel);
}

bool IsContiguous(std::uint32_t mask) {
  return mask == 0 || std::has_single_bit((mask >> std::countr_zero(mask)) + 1);
}

std::string CheckMasks(const ChannelMasks& masks, std::uint32_t bitsPerPixel) {
  const std::uint64_t allowed = (std::uint64_t{1} << bitsPerPixel) - 1;
  std::uint32_t seen = 0;
  for (std::size_t i = 0; i < masks.size(); ++i) {
    const std::uint32_t m = masks[i];
    if ((i < 3 && m == 0) || m > allowed || !IsContiguous(m) || (m & seen) != 0) {
      return "bad bit-field masks";
    }
    seen |= m;
  }
  return {};
}

std::string ReadCompression(Bytes file, DibLayout& layout, BitmapUse use) {
  switch (layout.compression) {
    case kBiRgb:
      if (layout.bitsPerPixel == 16 || layout.bitsPerPixel == 32) {
        layout.masks = DefaultMasks(static_cast<int>(layout.bitsPerPixel));
      }
      return {};
    case kBiRle8:
    case kBiRle4:
      if (use == BitmapUse::Board) return "run-length compressed bitmaps are not supported";
      if (layout.bitsPerPixel != (layout.compression == kBiRle8 ? 8u : 4u)) break;
      // Runs are stored bottom row first only.
      if (layout.topDown) return "run-length bitmap stored top-down";
      return {};
    case kBiBitfields:
      // In an OS/2 header this value means Huffman coding, which no one uses.
      if (layout.headerSize == kOs2HeaderSize || layout.headerSize == kCoreHeaderSize) break;
      if (layout.bitsPerPixel != 16 && layout.bitsPerPixel != 32) break;
      if (layout.headerSize == kInfoHeaderSize) {
        if (file.size() < layout.tableOffset + kMaskBytes) return "file cut short in its masks";
        const std::size_t at = static_cast<std::size_t>(layout.tableOffset);
        layout.masks = {Le32(file, at), Le32(file, at + 4), Le32(file, at + 8), 0};
        layout.tableOffset += kMaskBytes;
      }
      return CheckMasks(layout.masks, layout.bitsPerPixel);
    default:
      break;
  }
  return "unsupported compression " + std::to_string(layout.compression);
}

std::string ReadPalette(Bytes file, const DibLayout& layout, BitmapUse use,
                        std::vector<std::uint32_t>& palette) {
  if (layout.bitsPerPixel > 8) return {};  // any optional table is only a hint; skip it
  const std::uint64_t capacity = std::uint64_t{1} << layout.bitsPerPixel;
  std::uint64_t count = layout.coloursUsed != 0 ? layout.coloursUsed : capacity;
  if (count > capacity) return "colour table larger than the bit count allows";
  if (use == BitmapUse::Picture && layout.coloursUsed == 0 &&
      layout.pixelOffset >= layout.tableOffset) {
    count = std::min(count, (layout.pixelOffset - layout.tableOffset) / layout.paletteEntrySize);
  }
  const std::uint64_t end = layout.tableOffset + count * layout.paletteEntrySize;
  if (end > layout.pixelOffset || end > file.size()) return "colour table runs into the pixels";
  palette.reserve(static_cast<std::size_t>(count));
  for (std::uint64_t i = 0; i < count; ++i) {
    const auto at = static_cast<std::size_t>(layout.tableOffset + i * layout.paletteEntrySize);
    palette.push_back(static_cast<std::uint32_t>(file[at + 2]) << 16 |
                      static_cast<std::uint32_t>(file[at + 1]) << 8 | file[at]);
  }
  return {};
}

std::string CheckPixelOffset(Bytes file, const DibLayout& layout) {
  if (layout.pixelOffset < layout.tableOffset) return "pixel data offset inside the headers";
  if (layout.pixelOffset > file.size()) return "pixel data offset outside the file";
  return {};
}

std::string CheckPixelRange(Bytes file, const DibLayout& layout, BitmapUse use,
                            std::uint64_t stride) {
  const std::uint64_t available = file.size() - layout.pixelOffset;
  if (stride * static_cast<std::uint64_t>(layout.height) > available) return "pixel data cut short";
  if (use == BitmapUse::Board && layout.imageSize > available) {
    return "image size field points outside the file";
  }
  return {};
}

BitmapLoadResult Refuse(std::string reason) {
  return {Bitmap{}, std::move(reason)};
}

std::uint32_t ScaleChannel(std::uint32_t value, std::uint32_t mask) {
  if (mask == 0) return 0;
  const std::uint32_t bits = static_cast<std::uint32_t>(std::popcount(mask));
  const std::uint32_t v = (value & mask) >> std::countr_zero(mask);
  if (bits >= 8) return v >> (bits - 8);
  const std::uint32_t max = (1U << bits) - 1;
  return (v * 255 + max / 2) / max;
}

}  // namespace

namespace dib {

std::vector<std::uint32_t> DefaultPalette(int bitsPerPixel) {
  const int count = 1 << bitsPerPixel;
  std::vector<std::uint32_t> palette;
  for (int i = 0; i < count; ++i) {
    const std::uint32_t grey = static_cast<std::uint32_t>(i * 255 / (count - 1));
    palette.push_back(grey << 16 | grey << 8 | grey);
  }
  return palette;
}

}  // namespace dib

// Fills a Bitmap's private parts for the reader and FromRows.
struct BitmapBuilder {
  static Bitmap Make(int width, int height, int bitsPerPixel, std::vector<std::uint8_t> pixels,
                     std::vector<std::uint32_t> palette, const ChannelMasks& masks) {
    Bitmap b;
    b.width_ = width;
    b.height_ = height;
    b.bitsPerPixel_ = bitsPerPixel;
    b.stride_ = StoredRowStride(width, bitsPerPixel);
    b.pixels_ = std::move(pixels);
    b.palette_ = std::move(palette);
    b.masks_ = masks;
    return b;
  }
};

std::size_t StoredRowStride(int width, int bitsPerPixel) {
  if (width <= 0 || bitsPerPixel <= 0) return 0;
  const std::uint64_t bits = static_cast<std::uint64_t>(width) * bitsPerPixel;
  return static_cast<std::size_t>((bits + 31) / 32 * 4);
}

ChannelMasks DefaultMasks(int bitsPerPixel) {
  if (bitsPerPixel == 16) return {0x7C00, 0x03E0, 0x001F, 0};
  if (bitsPerPixel == 32) return {0xFF0000, 0x00FF00, 0x0000FF, 0};
  return {};
}

const std::uint8_t* Bitmap::Row(int r) const {
  if (r < 0 || r >= height_) return nullptr;
  return pixels_.data() + static_cast<std::size_t>(r) * stride_;
}

std::uint32_t Bitmap::StoredValue(int x, int y) const {
  const std::uint8_t* row = Row(y);
  const auto bitOffset = static_cast<std::size_t>(x) * static_cast<std::size_t>(bitsPerPixel_);
  const std::uint8_t* p = row + bitOffset / 8;
  switch (bitsPerPixel_) {
    case 16:
      return p[0] | static_cast<std::uint32_t>(p[1]) << 8;
    case 24:
      return p[0] | static_cast<std::uint32_t>(p[1]) << 8 | static_cast<std::uint32_t>(p[2]) << 16;
    case 32:
      return p[0] | static_cast<std::uint32_t>(p[1]) << 8 | static_cast<std::uint32_t>(p[2]) << 16 |
             static_cast<std::uint32_t>(p[3]) << 24;
    default: {
      const auto shift = 8 - bitsPerPixel_ - static_cast<int>(bitOffset % 8);
      return (*p >> shift) & ((1U << bitsPerPixel_) - 1);
    }
  }
}

std::uint32_t Bitmap::PixelRgb(int x, int y) const {
  if (x < 0 || x >= width_ || y < 0 || y >= height_) return 0;
  const std::uint32_t value = StoredValue(x, y);
  if (bitsPerPixel_ <= 8) return value < palette_.size() ? palette_[value] : 0;
  if (bitsPerPixel_ == 24) return value;
  return ScaleChannel(value, masks_[0]) << 16 | ScaleChannel(value, masks_[1]) << 8 |
         ScaleChannel(value, masks_[2]);
}

Bitmap Bitmap::FromRows(int width, int height, int bitsPerPixel, std::vector<std::uint8_t> rows,
                        std::vector<std::uint32_t> palette) {
  const bool knownDepth = bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8 ||
                          bitsPerPixel == 16 || bitsPerPixel == 24 || bitsPerPixel == 32;
  if (!knownDepth || width <= 0 || height <= 0 || width > kMaxBitmapSide ||
      height > kMaxBitmapSide) {
    throw std::invalid_argument("Bitmap::FromRows: bad size or bit count");
  }
  if (rows.size() != StoredRowStride(width, bitsPerPixel) * static_cast<std::size_t>(height)) {
    throw std::invalid_argument("Bitmap::FromRows: rows do not match the size");
  }
  if (palette.empty() && bitsPerPixel <= 8) palette = DefaultPalette(bitsPerPixel);
  return BitmapBuilder::Make(width, height, bitsPerPixel, std::move(rows), std::move(palette),
                             DefaultMasks(bitsPerPixel));
}

BitmapLoadResult ReadBitmap(std::span<const std::uint8_t> file, BitmapUse use) {
  DibLayout layout;
  // Each stage checks what it reads against the file's length before it reads.
  for (auto stage : {ReadFileHeader, CheckDeclaredFileSize, ReadInfoHeader}) {
    if (use == BitmapUse::Picture && stage == CheckDeclaredFileSize) continue;
    if (auto error = stage(file, layout); !error.empty()) return Refuse(std::move(error));
  }
  if (auto error = CheckGeometry(layout, use); !error.empty()) return Refuse(std::move(error));
  if (auto error = ReadCompression(file, layout, use); !error.empty()) {
    return Refuse(std::move(error));
  }
  std::vector<std::uint32_t> palette;
  if (auto error = ReadPalette(file, layout, use, palette); !error.empty()) {
    return Refuse(std::move(error));
  }
  if (auto error = CheckPixelOffset(file, layout); !error.empty()) {
    return Refuse(std::move(error));
  }
  const int width = static_cast<int>(layout.width);
  const int height = static_cast<int>(layout.height);
  if (layout.compression == kBiRle8 || layout.compression == kBiRle4) {
    std::vector<std::uint8_t> rows;
    if (auto error = ExpandRunLength(file, layout, rows); !error.empty()) {
      return Refuse(std::move(error));
    }
    return {BitmapBuilder::Make(width, height, 8, std::move(rows), std::move(palette), {}), {}};
  }
  const int bitsPerPixel = static_cast<int>(layout.bitsPerPixel);
  const std::size_t stride = StoredRowStride(width, bitsPerPixel);
  if (auto error = CheckPixelRange(file, layout, use, stride); !error.empty()) {
    return Refuse(std::move(error));
  }

  std::vector<std::uint8_t> pixels(stride * static_cast<std::size_t>(height));
  const std::uint8_t* source = file.data() + layout.pixelOffset;
  for (int r = 0; r < height; ++r) {
    const int fileRow = layout.topDown ? r : height - 1 - r;
    std::memcpy(pixels.data() + static_cast<std::size_t>(r) * stride,
                source + static_cast<std::size_t>(fileRow) * stride, stride);
  }
  return {BitmapBuilder::Make(width, height, bitsPerPixel, std::move(pixels), std::move(palette),
                              layout.masks),
          {}};
}

BitmapLoadResult LoadBitmapFile(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return Refuse("cannot open the file");
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) return Refuse("cannot read the file");
  if (size > kMaxFileBytes) return Refuse("file too large for a bitmap");
  try {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Refuse("cannot open the file");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (in.gcount() != static_cast<std::streamsize>(bytes.size())) {
      return Refuse("cannot read the file");
    }
    return ReadBitmap(bytes);
  } catch (const std::bad_alloc&) {
    return Refuse("not enough memory for the picture");
  }
}

}  // namespace tablica
