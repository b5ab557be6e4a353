#include "shell/bitmap_image.h"

#include <algorithm>

namespace tablica {

QImage ToQImage(const Bitmap& bitmap, QSize limit) {
  if (bitmap.IsEmpty()) return {};
  // Only what the view can show is converted: a huge picture costs no more
  // than a board-sized one.
  const int width = std::min(bitmap.Width(), limit.width());
  const int height = std::min(bitmap.Height(), limit.height());
  if (width <= 0 || height <= 0) return {};
  QImage image(width, height, QImage::Format_RGB32);
  if (image.isNull()) return {};
  for (int y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) line[x] = 0xFF000000u | bitmap.PixelRgb(x, y);
  }
  return image;
}

}  // namespace tablica
