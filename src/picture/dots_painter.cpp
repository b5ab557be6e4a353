#include "picture/dots_painter.h"

#include <algorithm>
#include <cstring>

namespace tablica::picture {

namespace {

constexpr double kBorder = 4;
constexpr double kDotRadius = 0.38;  // of the pitch
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

void DrawDot(QPainter& painter, QPointF centre, double radius, bool lit) {
  painter.setBrush(lit ? kLitDot : kDarkDot);
  painter.drawEllipse(centre, radius, radius);
}

}  // namespace

void PaintDots(QPainter& painter, const QRectF& bounds, const IsLitFn& isLit) {
  painter.save();
  painter.fillRect(bounds, kBackground);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  const Grid grid = GridIn(bounds);
  const double radius = grid.pitch * kDotRadius;
  for (int y = 0; y < kBoardHeight; ++y) {
    for (int x = 0; x < kBoardWidth; ++x) {
      DrawDot(painter,
              QPointF(grid.left + (x + 0.5) * grid.pitch, grid.top + (y + 0.5) * grid.pitch),
              radius, isLit(x, y));
    }
  }
  painter.restore();
}

QImage PaintDotsImage(const IsLitFn& isLit, int pitch) {
  pitch = std::clamp(pitch, 1, 64);
  const int border = static_cast<int>(kBorder);
  QImage image(kBoardWidth * pitch + 2 * border, kBoardHeight * pitch + 2 * border,
               QImage::Format_RGB32);
  image.fill(kBackground);
  // With a whole pitch every dot sits alike in its cell, so the two looks
  // of a dot are drawn once, as PaintDots draws them, and copied into each
  // cell: a board for a web page or a broker every few seconds costs a
  // tenth of drawing 4096 round dots.
  QImage looks(2 * pitch, pitch, QImage::Format_RGB32);
  looks.fill(kBackground);
  {
    QPainter painter(&looks);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    for (const bool lit : {true, false}) {
      DrawDot(painter, QPointF((lit ? 0.5 : 1.5) * pitch, 0.5 * pitch), pitch * kDotRadius, lit);
    }
  }
  const auto rowBytes = static_cast<std::size_t>(pitch) * sizeof(QRgb);
  for (int y = 0; y < kBoardHeight; ++y) {
    for (int row = 0; row < pitch; ++row) {
      auto* line = reinterpret_cast<QRgb*>(image.scanLine(border + y * pitch + row)) + border;
      const auto* look = reinterpret_cast<const QRgb*>(looks.constScanLine(row));
      for (int x = 0; x < kBoardWidth; ++x) {
        std::memcpy(line + x * pitch, look + (isLit(x, y) ? 0 : pitch), rowBytes);
      }
    }
  }
  return image;
}

QPointF DotCentre(const QSizeF& bounds, int x, int y) {
  const Grid grid = GridIn(QRectF(QPointF(0, 0), bounds));
  return {grid.left + (x + 0.5) * grid.pitch, grid.top + (y + 0.5) * grid.pitch};
}

}  // namespace tablica::picture
