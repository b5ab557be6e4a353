#include "obraz/board_preview.h"

#include <QPainter>

#include "picture/dots_painter.h"

namespace tablica {
namespace {

constexpr int kBorder = 4;  // around the dots, as the painter keeps it

}  // namespace

BoardPreview::BoardPreview(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
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
}

}  // namespace tablica
