#include "shell/bitmap_image.h"

#include <cstdint>

namespace tablica {
namespace {

QRgb Opaque(std::uint32_t rgb) {
  return 0xFF000000u | (rgb & 0x00FFFFFFu);
}

QImage IndexedImage(const Bitmap& bitmap) {
  const int bits = bitmap.BitsPerPixel();
  QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_Indexed8);
  if (image.isNull()) return {};
  // A short colour table leaves the missing entries black, so every stored
  // index has a colour.
  QList<QRgb> colours(1 << bits, Opaque(0));
  const auto& palette = bitmap.Palette();
  for (std::size_t i = 0; i < palette.size() && i < static_cast<std::size_t>(colours.size()); ++i) {
    colours[static_cast<qsizetype>(i)] = Opaque(palette[i]);
  }
  image.setColorTable(colours);
  const int perByte = 8 / bits;
  const int mask = (1 << bits) - 1;
  for (int y = 0; y < bitmap.Height(); ++y) {
    const std::uint8_t* row = bitmap.Row(y);
    uchar* out = image.scanLine(y);
    for (int x = 0; x < bitmap.Width(); ++x) {
      const int shift = 8 - bits * (x % perByte + 1);
      out[x] = static_cast<uchar>((row[x / perByte] >> shift) & mask);
    }
  }
  return image;
}

QRgb Pixel555(std::uint16_t v) {
  const auto widen = [](int five) { return (five << 3) | (five >> 2); };
  return qRgb(widen((v >> 10) & 31), widen((v >> 5) & 31), widen(v & 31));
}

QImage TrueColourImage(const Bitmap& bitmap) {
  const int bytes = bitmap.BitsPerPixel() / 8;
  QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_RGB32);
  if (image.isNull()) return {};
  for (int y = 0; y < bitmap.Height(); ++y) {
    const std::uint8_t* row = bitmap.Row(y);
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < bitmap.Width(); ++x) {
      const std::uint8_t* p = row + static_cast<std::size_t>(x) * bytes;
      out[x] = bytes == 2 ? Pixel555(static_cast<std::uint16_t>(p[0] | (p[1] << 8)))
                          : qRgb(p[2], p[1], p[0]);
    }
  }
  return image;
}

}  // namespace

QImage ToQImage(const Bitmap& bitmap) {
  if (bitmap.IsEmpty()) return {};
  const int bits = bitmap.BitsPerPixel();
  if (bitmap.RowStride() < StoredRowStride(bitmap.Width(), bits)) return {};
  switch (bits) {
    case 1:
    case 4:
    case 8:
      return IndexedImage(bitmap);
    case 16:
    case 24:
    case 32:
      return TrueColourImage(bitmap);
    default:
      return {};
  }
}

}  // namespace tablica
