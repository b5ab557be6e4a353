#include "picture/format_checks.h"

#include <array>
#include <cstring>
#include <string_view>

#include "picture/decode.h"

namespace tablica::picture {

namespace {

std::uint32_t Be32(FileBytes b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) << 24 | static_cast<std::uint32_t>(b[at + 1]) << 16 |
         static_cast<std::uint32_t>(b[at + 2]) << 8 | b[at + 3];
}

std::uint32_t Le16(FileBytes b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8;
}

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

std::uint32_t Crc32(FileBytes bytes) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (const std::uint8_t b : bytes) crc = kCrcTable[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

bool IsLetter(std::uint8_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The header's fields as the PNG library accepts them.
bool HeaderIsValid(FileBytes ihdr) {
  const std::uint32_t width = Be32(ihdr, 0);
  const std::uint32_t height = Be32(ihdr, 4);
  if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) return false;
  const int depth = ihdr[8];
  const int colour = ihdr[9];
  const bool depthFits = [&] {
    switch (colour) {
      case 0:  // grey
        return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
      case 3:  // palette
        return depth == 1 || depth == 2 || depth == 4 || depth == 8;
      case 2:  // RGB
      case 4:  // grey and alpha
      case 6:  // RGBA
        return depth == 8 || depth == 16;
      default:
        return false;
    }
  }();
  return depthFits && ihdr[10] == 0 && ihdr[11] == 0 && ihdr[12] <= 1;
}

}  // namespace

bool JpegHasEnd(FileBytes data) {
  // Inside a scan a 0xFF byte is always escaped, so a marker after the last
  // start-of-scan is a real one.
  const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
  const std::size_t scan = text.rfind("\xFF\xDA");
  return scan != std::string_view::npos &&
         text.find("\xFF\xD9", scan + 2) != std::string_view::npos;
}

bool PngIsWhole(FileBytes data) {
  static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (data.size() < 8 || std::memcmp(data.data(), kSignature, 8) != 0) return false;
  std::size_t at = 8;
  bool first = true;
  bool palette = false;
  bool needsPalette = false;
  bool imageData = false;
  while (data.size() - at >= 12) {
    const std::uint32_t length = Be32(data, at);
    const FileBytes type = data.subspan(at + 4, 4);
    if (length > 0x7FFFFFFF || data.size() - at - 12 < length) return false;
    for (const std::uint8_t c : type) {
      if (!IsLetter(c)) return false;
    }
    const std::string_view name(reinterpret_cast<const char*>(type.data()), 4);
    const FileBytes content = data.subspan(at + 8, length);
    // The library refuses a critical chunk (capital first letter) with a
    // wrong checksum and drops an ancillary one.
    const bool critical = type[0] >= 'A' && type[0] <= 'Z';
    if (critical && Crc32(data.subspan(at + 4, length + 4)) != Be32(data, at + 8 + length)) {
      return false;
    }
    if (first != (name == "IHDR")) return false;
    if (name == "IHDR") {
      if (length != 13 || !HeaderIsValid(content)) return false;
      needsPalette = content[9] == 3;
    } else if (name == "PLTE") {
      if (length == 0 || length % 3 != 0 || length > 768 || imageData) return false;
      palette = true;
    } else if (name == "IDAT") {
      if (needsPalette && !palette) return false;
      imageData = true;
    } else if (name == "IEND") {
      return imageData;
    } else if (critical) {
      return false;  // a critical chunk the library does not know
    }
    first = false;
    at += 12 + static_cast<std::size_t>(length);
  }
  return false;  // cut off before the end chunk
}

namespace {

// Skips a chain of data sub-blocks (a length byte, that many bytes, ...,
// a zero length); false when the bytes end first.
bool SkipSubBlocks(FileBytes data, std::size_t& at) {
  while (at < data.size()) {
    const std::size_t length = data[at++];
    if (length == 0) return true;
    if (data.size() - at < length) return false;
    at += length;
  }
  return false;
}

}  // namespace

std::optional<GifLayout> WalkGif(FileBytes data) {
  if (data.size() < 13 ||
      (std::memcmp(data.data(), "GIF87a", 6) != 0 && std::memcmp(data.data(), "GIF89a", 6) != 0)) {
    return std::nullopt;
  }
  GifLayout layout;
  layout.screen = QSize(static_cast<int>(Le16(data, 6)), static_cast<int>(Le16(data, 8)));
  std::size_t at = 13;
  const auto skipTable = [&](std::uint8_t flags) {
    if ((flags & 0x80) == 0) return true;
    const std::size_t bytes = std::size_t{3} << ((flags & 7) + 1);
    if (data.size() - at < bytes) return false;
    at += bytes;
    return true;
  };
  if (!skipTable(data[10])) return layout;
  while (at < data.size()) {
    const std::uint8_t introducer = data[at++];
    if (introducer == 0x3B) {  // the trailer
      layout.complete = true;
      return layout;
    }
    if (introducer == 0x21) {  // an extension: its label, then sub-blocks
      if (at >= data.size()) return layout;
      ++at;
      if (!SkipSubBlocks(data, at)) return layout;
    } else if (introducer == 0x2C) {  // a frame: descriptor, colours, code size, sub-blocks
      if (data.size() - at < 9) return layout;
      const QSize frame(static_cast<int>(Le16(data, at + 4)), static_cast<int>(Le16(data, at + 6)));
      if (static_cast<std::int64_t>(frame.width()) * frame.height() >
          static_cast<std::int64_t>(layout.largestFrame.width()) * layout.largestFrame.height()) {
        layout.largestFrame = frame;
      }
      const std::uint8_t flags = data[at + 8];
      at += 9;
      if (!skipTable(flags) || at >= data.size()) return layout;
      ++at;  // the smallest code size
      if (!SkipSubBlocks(data, at)) return layout;
      ++layout.frames;
    } else {
      return layout;  // no block starts with this byte
    }
  }
  // Some writers leave out the trailer: whole frames ending exactly at the
  // end of the file are a whole picture.
  layout.complete = layout.frames > 0;
  return layout;
}

}  // namespace tablica::picture
