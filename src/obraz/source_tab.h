#pragma once

#include <QRect>
#include <QWidget>
#include <vector>

#include "picture/convert.h"

namespace tablica {

// One tab of the picture window: a source of the board's dots with its
// choices. The tab shown is the source the preview, "Zapisz bitmapę…" and
// "Wyślij na tablicę" take.
class SourceTab : public QWidget {
  Q_OBJECT

 public:
  using QWidget::QWidget;

  // The dots the source and the choices give now, or why they give none.
  virtual picture::DotsResult MakeDots() = 0;
  // The edges of the zones the board is split into now, in dots, drawn over
  // the preview while the source is edited (never sent).
  virtual std::vector<QRect> ZoneEdges() const { return {}; }

 signals:
  // The source or a choice changed: the preview follows.
  void Changed();
};

}  // namespace tablica
