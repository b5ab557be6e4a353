#include "window_parts/board_window.h"

namespace tablica {

BoardWindow::BoardWindow(BoardWindowServices services, QWidget* parent)
    : QWidget(parent), services_(std::move(services)) {}

void BoardWindow::setVisible(bool visible) {
  if (visible && !shown_) {
    shown_ = true;
    FirstShowing();
  }
  QWidget::setVisible(visible);
}

}  // namespace tablica
