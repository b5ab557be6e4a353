// The BMP header stages, and the header reader that decoders other than
// ours ask for a file's declared size and whether all its rows are there.

#include <algorithm>
#include <cstdlib>

#include "board/bitmap.h"
#include "board/bitmap_layout.h"

namespace tablica {

namespace dib {

namespace {

constexpr std::uint32_t kV4HeaderSize = 108;

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

}  // namespace

std::string ReadFileHeader(Bytes file, DibLayout& layout) {
  if (file.size() < kFileHeaderSize + 4 || file[0] != 'B' || file[1] != 'M') {
    return "not a BMP file";
  }
  layout.pixelOffset = Le32(file, 10);
  return {};
}

std::string CheckDeclaredFileSize(Bytes file, DibLayout&) {
  const std::uint64_t declaredSize = Le32(file, 2);
  if (declaredSize > file.size()) return "file is shorter than its header says";
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

}  // namespace dib

std::optional<BitmapHeader> ReadBitmapHeader(std::span<const std::uint8_t> file) {
  dib::DibLayout layout;
  if (!dib::ReadFileHeader(file, layout).empty() || !dib::ReadInfoHeader(file, layout).empty()) {
    return std::nullopt;
  }
  BitmapHeader header;
  header.width = layout.width;
  header.height = layout.height;
  header.bitsPerPixel = static_cast<int>(layout.bitsPerPixel);
  header.compression = layout.compression;
  // Only uncompressed and bit-field rows have a size fixed by the header;
  // nonsense sizes are left to the decoder, which refuses them.
  const bool bitfields =
      layout.compression == dib::kBiBitfields || layout.compression == dib::kBiAlphaBitfields;
  const bool fixedRows = layout.compression == dib::kBiRgb || bitfields;
  if (fixedRows && layout.width > 0 && layout.bitsPerPixel > 0 && layout.bitsPerPixel <= 32) {
    // A decoder reads the masks a short header leaves out before the rows,
    // and starts the rows there when the offset points back into the
    // headers.
    std::uint64_t start = layout.tableOffset;
    if (bitfields && layout.headerSize < dib::kV4HeaderSize) {
      start += layout.compression == dib::kBiAlphaBitfields ? 16 : 12;
    }
    start = std::max(start, layout.pixelOffset);
    // Whole rows the file holds, against the rows it declares (no product
    // that could overflow).
    const std::int64_t stride = (layout.width * layout.bitsPerPixel + 31) / 32 * 4;
    const std::int64_t stored =
        static_cast<std::int64_t>(file.size()) - static_cast<std::int64_t>(start);
    header.cutShort = stored < 0 || stored / stride < layout.height;
  }
  return header;
}

}  // namespace tablica
