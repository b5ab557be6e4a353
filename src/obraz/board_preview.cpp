#include "obraz/board_preview.h"

#include <QPainter>
#include <utility>

#include "picture/dots_painter.h"

namespace tablica {
namespace {

constexpr int kBorder = 4;  // around the dots, as the painter keeps it

}  // namespace

BoardPreview::BoardPreview(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void BoardPreview::SetEdges(std::vector<QRect> edges) {
  if (edges == edges_) return;
  edges_ = std::move(edges);
  update();
}

void BoardPreview::SetDots(const BoardDots& dots) {
  if (dots == dots_) return;
  dots_ = dots;
  update();
}

QSize BoardPreview::sizeHint() const {
  return {kBoardWidth * kPitch + 2 * kBorder, kBoardHeight * kPitch + 2 * kBorder};
}

QSize BoardPreview::minimumSizeHint() const {
  // Five pixels a dot, as the virtual board's window draws at the least.
  return {kBoardWidth * 5 + 2 * kBorder, kBoardHeight * 5 + 2 * kBorder};
}

void BoardPreview::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  picture::PaintDots(painter, QRectF(rect()), [this](int x, int y) { return dots_.IsLit(x, y); });
  if (edges_.empty()) return;
  // Each edge runs between the dots, half a pitch outside the zone's own.
  const QSizeF bounds = size();
  const QPointF origin = picture::DotCentre(bounds, 0, 0);
  const double pitch = picture::DotCentre(bounds, 1, 0).x() - origin.x();
  const QPointF corner = origin - QPointF(pitch / 2, pitch / 2);
  painter.setPen(QPen(QColor(0x40, 0xC0, 0xFF), 1, Qt::DashLine));
  painter.setBrush(Qt::NoBrush);
  for (const QRect& edge : edges_) {
    painter.drawRect(QRectF(corner + QPointF(edge.x() * pitch, edge.y() * pitch),
                            QSizeF(edge.width() * pitch, edge.height() * pitch)));
  }
}

}  // namespace tablica
