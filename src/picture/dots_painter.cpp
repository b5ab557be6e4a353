#include "picture/dots_painter.h"

#include <algorithm>

namespace tablica::picture {

namespace {

constexpr double kBorder = 4;
const QColor kBackground(0x14, 0x12, 0x10);
const QColor kLitDot(0xFF, 0xB0, 0x20);
const QColor kDarkDot(0x4A, 0x38, 0x20);

struct Grid {
  double pitch;
  double left;
  double top;
};

// Keeps the dots round: one pitch for both directions, the board centred.
Grid GridIn(const QRectF& bounds) {
  const double pitch = std::min((bounds.width() - 2 * kBorder) / kBoardWidth,
                                (bounds.height() - 2 * kBorder) / kBoardHeight);
  return {pitch, bounds.left() + (bounds.width() - pitch * kBoardWidth) / 2,
          bounds.top() + (bounds.height() - pitch * kBoardHeight) / 2};
}

}  // namespace

void PaintDots(QPainter& painter, const QRectF& bounds, const IsLitFn& isLit) {
  painter.save();
  painter.fillRect(bounds, kBackground);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  const Grid grid = GridIn(bounds);
  const double radius = grid.pitch * 0.38;
  for (int y = 0; y < kBoardHeight; ++y) {
    for (int x = 0; x < kBoardWidth; ++x) {
      painter.setBrush(isLit(x, y) ? kLitDot : kDarkDot);
      painter.drawEllipse(
          QPointF(grid.left + (x + 0.5) * grid.pitch, grid.top + (y + 0.5) * grid.pitch), radius,
          radius);
    }
  }
  painter.restore();
}

QImage PaintDotsImage(const IsLitFn& isLit, int pitch) {
  pitch = std::clamp(pitch, 1, 64);
  QImage image(static_cast<int>(kBoardWidth * pitch + 2 * kBorder),
               static_cast<int>(kBoardHeight * pitch + 2 * kBorder), QImage::Format_RGB32);
  QPainter painter(&image);
  PaintDots(painter, QRectF(image.rect()), isLit);
  return image;
}

QPointF DotCentre(const QSizeF& bounds, int x, int y) {
  const Grid grid = GridIn(QRectF(QPointF(0, 0), bounds));
  return {grid.left + (x + 0.5) * grid.pitch, grid.top + (y + 0.5) * grid.pitch};
}

}  // namespace tablica::picture
