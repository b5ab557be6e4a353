#pragma once

#include <QWidget>

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

 signals:
  // The source or a choice changed: the preview follows.
  void Changed();
};

}  // namespace tablica
