#include "picture/placement.h"

#include <QRect>
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "board/board_dots.h"

namespace tablica::picture {

namespace {

const QRect kBoard(0, 0, kBoardWidth, kBoardHeight);

std::int64_t Area(QSize size) {
  return static_cast<std::int64_t>(size.width()) * size.height();
}

const char* const kNoMemory = "Za mało pamięci, by przeskalować obraz dla tablicy.";

// The picture at the size its placement gives it; null when Qt could not
// get the memory.
QImage ScaledTo(const QImage& image, QSize size) {
  QImage scaled = image;
  if (scaled.size() != size) {
    // Scaled with premultiplied alpha, so transparent pixels lend no colour.
    if (scaled.hasAlphaChannel()) scaled.convertTo(QImage::Format_ARGB32_Premultiplied);
    scaled = scaled.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  return scaled;
}

// Scaling the whole picture is kept wherever it costs little, so that the
// dots of ordinary pictures never depend on where the cut falls.
bool ScaleWholeIsCheap(QSize picture, QSize scaled) {
  return Area(scaled) <= 4 * (Area(picture) + Area(kBoard.size()));
}

// The picture cut to the rows and columns that reach the board, with a
// margin for the smoothing filter, scaled as the same part of the whole
// would be, and the corner where that part lands.
struct Part {
  QImage picture;
  QPoint corner;
};
Part ScaledVisiblePart(const QImage& image, const Placed& placed, QSize area) {
  const QRect shown = QRect(-placed.offset, area).intersected(QRect({0, 0}, placed.size));
  const double sx = static_cast<double>(image.width()) / placed.size.width();
  const double sy = static_cast<double>(image.height()) / placed.size.height();
  constexpr int kMargin = 2;
  const int left = std::max(0, static_cast<int>(std::floor(shown.left() * sx)) - kMargin);
  const int top = std::max(0, static_cast<int>(std::floor(shown.top() * sy)) - kMargin);
  const int right =
      std::min(image.width(), static_cast<int>(std::ceil((shown.right() + 1) * sx)) + kMargin);
  const int bottom =
      std::min(image.height(), static_cast<int>(std::ceil((shown.bottom() + 1) * sy)) + kMargin);
  // The cut's edges on the scaled picture.
  const int scaledLeft = static_cast<int>(std::lround(left / sx));
  const int scaledTop = static_cast<int>(std::lround(top / sy));
  const int scaledRight = static_cast<int>(std::lround(right / sx));
  const int scaledBottom = static_cast<int>(std::lround(bottom / sy));
  const QImage cut = image.copy(left, top, right - left, bottom - top);
  if (cut.isNull()) return {};
  return {ScaledTo(cut, QSize(std::max(1, scaledRight - scaledLeft),
                              std::max(1, scaledBottom - scaledTop))),
          placed.offset + QPoint(scaledLeft, scaledTop)};
}

}  // namespace

Placed PlaceOnBoard(QSize picture, Placement placement, QSize area) {
  const int width = area.width();
  const int height = area.height();
  const double w = picture.width();
  const double h = picture.height();
  const auto scaled = [&](double scale, int minW, int minH) {
    return QSize(std::max(minW, static_cast<int>(std::lround(w * scale))),
                 std::max(minH, static_cast<int>(std::lround(h * scale))));
  };
  switch (placement) {
    case Placement::Fit: {
      QSize size = scaled(std::min(width / w, height / h), 1, 1);
      size = size.boundedTo(QSize(width, height));
      return {size, {(width - size.width()) / 2, (height - size.height()) / 2}};
    }
    case Placement::Fill: {
      const QSize size = scaled(std::max(width / w, height / h), width, height);
      return {size, {-(size.width() - width) / 2, -(size.height() - height) / 2}};
    }
    case Placement::Stretch:
      return {QSize(width, height), {0, 0}};
    case Placement::None:
      break;
  }
  return {picture, {0, 0}};
}

OnBoard PlaceImage(const QImage& image, Placement placement, QSize area) {
  if (image.isNull()) return {{}, {}, "Obraz jest pusty."};
  const Placed placed = PlaceOnBoard(image.size(), placement, area);
  Part part;
  if (ScaleWholeIsCheap(image.size(), placed.size)) {
    part = {ScaledTo(image, placed.size), placed.offset};
  } else {
    part = ScaledVisiblePart(image, placed, area);
  }
  if (part.picture.isNull()) return {{}, {}, kNoMemory};
  // Only the part on the board is kept: drawn at the same corner it gives
  // the same dots, and a 1:1 placement does not hold the whole picture.
  const QRect visible = QRect(part.corner, part.picture.size()).intersected(QRect({0, 0}, area));
  if (visible.isEmpty()) return {QImage(), visible.topLeft(), {}};
  QImage shown = part.picture.copy(visible.translated(-part.corner));
  if (shown.isNull()) return {{}, {}, kNoMemory};
  return {std::move(shown), visible.topLeft(), {}};
}

}  // namespace tablica::picture
