#include "board/bitmap.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <fstream>
#include <new>
#include <stdexcept>

namespace tablica {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kCoreHeaderSize = 12;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kOs2HeaderSize = 64;
constexpr std::size_t kMaskBytes = 12;  // red, green, blue after a 40-byte header
// The largest picture that can be valid is 16384 x 16384 at 32 bits per
// pixel (1 GiB); a bigger file is not read into memory at all.
constexpr std::uintmax_t kMaxFileBytes = (std::uintmax_t{1} << 30) + (std::uintmax_t{1} << 20);

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiRle8 = 1;
constexpr std::uint32_t kBiRle4 = 2;
constexpr std::uint32_t kBiBitfields = 3;

using Bytes = std::span<const std::uint8_t>;

// Callers check that [at, at + 2) and [at, at + 4) lie inside `b`.
std::uint32_t Le16(Bytes b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8;
}
std::uint32_t Le32(Bytes b, std::size_t at) {
  return Le16(b, at) | Le16(b, at + 2) << 16;
}
std::int64_t SignedLe32(Bytes b, std::size_t at) {
  return static_cast<std::int32_t>(Le32(b, at));
}

bool IsKnownHeaderSize(std::uint32_t size) {
  switch (size) {
    case 12:   // core (OS/2 1.x)
    case 40:   // info
    case 52:   // info + RGB masks
    case 56:   // info + RGBA masks
    case 64:   // OS/2 2.x
    case 108:  // V4
    case 124:  // V5
      return true;
    default:
      return false;
  }
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

std::string ReadFileHeader(Bytes file, DibLayout& layout) {
  if (file.size() < kFileHeaderSize + 4 || file[0] != 'B' || file[1] != 'M') {
    return "not a BMP file";
  }
  const std::uint64_t declaredSize = Le32(file, 2);
  if (declaredSize > file.size()) return "file is shorter than its header says";
  layout.pixelOffset = Le32(file, 10);
  return {};
}

std::string ReadInfoHeader(Bytes file, DibLayout& layout) {
  layout.headerSize = Le32(file, kFileHeaderSize);
  if (!IsKnownHeaderSize(layout.headerSize)) {
    return "unsupported info header size " + std::to_string(layout.headerSize);
  }
  if (file.size() < kFileHeaderSize + layout.headerSize) return "file cut short in its info header";
  constexpr std::size_t h = kFileHeaderSize;
  if (layout.headerSize == kCoreHeaderSize) {
    layout.width = Le16(file, h + 4);
    layout.height = Le16(file, h + 6);
    layout.planes = Le16(file, h + 8);
    layout.bitsPerPixel = Le16(file, h + 10);
    layout.paletteEntrySize = 3;
  } else {
    layout.width = SignedLe32(file, h + 4);
    const std::int64_t height = SignedLe32(file, h + 8);
    layout.topDown = height < 0;
    layout.height = height < 0 ? -height : height;
    layout.planes = Le16(file, h + 12);
    layout.bitsPerPixel = Le16(file, h + 14);
    layout.compression = Le32(file, h + 16);
    layout.imageSize = Le32(file, h + 20);
    layout.coloursUsed = Le32(file, h + 32);
    // The 52- and 56-byte headers and V4/V5 carry the masks themselves; the
    // 64-byte OS/2 header has other fields in that place.
    if (layout.headerSize >= 52 && layout.headerSize != kOs2HeaderSize) {
      layout.masks = {Le32(file, h + 40), Le32(file, h + 44), Le32(file, h + 48),
                      layout.headerSize >= 56 ? Le32(file, h + 52) : 0};
    }
  }
  layout.tableOffset = kFileHeaderSize + layout.headerSize;
  return {};
}

std::string CheckGeometry(const DibLayout& layout) {
  if (layout.width <= 0) return "bad width";
  if (layout.height <= 0) return "bad height";
  if (layout.width > kMaxBitmapSide || layout.height > kMaxBitmapSide) {
    return "picture larger than 16384 pixels on a side";
  }
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

std::string ReadCompression(Bytes file, DibLayout& layout) {
  switch (layout.compression) {
    case kBiRgb:
      if (layout.bitsPerPixel == 16 || layout.bitsPerPixel == 32) {
        layout.masks = DefaultMasks(static_cast<int>(layout.bitsPerPixel));
      }
      return {};
    case kBiRle8:
    case kBiRle4:
      return "run-length compressed bitmaps are not supported";
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

std::string ReadPalette(Bytes file, const DibLayout& layout, std::vector<std::uint32_t>& palette) {
  if (layout.bitsPerPixel > 8) return {};  // any optional table is only a hint; skip it
  const std::uint64_t capacity = std::uint64_t{1} << layout.bitsPerPixel;
  const std::uint64_t count = layout.coloursUsed != 0 ? layout.coloursUsed : capacity;
  if (count > capacity) return "colour table larger than the bit count allows";
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

std::string CheckPixelRange(Bytes file, const DibLayout& layout, std::uint64_t stride) {
  if (layout.pixelOffset < layout.tableOffset) return "pixel data offset inside the headers";
  if (layout.pixelOffset > file.size()) return "pixel data offset outside the file";
  const std::uint64_t available = file.size() - layout.pixelOffset;
  if (stride * static_cast<std::uint64_t>(layout.height) > available) return "pixel data cut short";
  if (layout.imageSize > available) return "image size field points outside the file";
  return {};
}

BitmapLoadResult Refuse(std::string reason) {
  return {Bitmap{}, std::move(reason)};
}

std::vector<std::uint32_t> DefaultPalette(int bitsPerPixel) {
  const int count = 1 << bitsPerPixel;
  std::vector<std::uint32_t> palette;
  for (int i = 0; i < count; ++i) {
    const std::uint32_t grey = static_cast<std::uint32_t>(i * 255 / (count - 1));
    palette.push_back(grey << 16 | grey << 8 | grey);
  }
  return palette;
}

void PutLe16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  PutLe16(out, v & 0xFFFF);
  PutLe16(out, v >> 16);
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

BitmapLoadResult ReadBitmap(std::span<const std::uint8_t> file) {
  DibLayout layout;
  // Each stage checks what it reads against the file's length before it reads.
  for (auto stage : {ReadFileHeader, ReadInfoHeader}) {
    if (auto error = stage(file, layout); !error.empty()) return Refuse(std::move(error));
  }
  if (auto error = CheckGeometry(layout); !error.empty()) return Refuse(std::move(error));
  if (auto error = ReadCompression(file, layout); !error.empty()) return Refuse(std::move(error));
  std::vector<std::uint32_t> palette;
  if (auto error = ReadPalette(file, layout, palette); !error.empty()) {
    return Refuse(std::move(error));
  }
  const int width = static_cast<int>(layout.width);
  const int height = static_cast<int>(layout.height);
  const int bitsPerPixel = static_cast<int>(layout.bitsPerPixel);
  const std::size_t stride = StoredRowStride(width, bitsPerPixel);
  if (auto error = CheckPixelRange(file, layout, stride); !error.empty()) {
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
