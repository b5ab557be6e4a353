#include "window_parts/board_window.h"

#include <QTimer>

#include "session/board_session.h"

namespace tablica {

BoardWindow::BoardWindow(BoardWindowServices services, QWidget* parent)
    : QWidget(parent), services_(std::move(services)) {
  // An open port whose adapter is pulled out is closed at once (so it gets
  // its name back when it returns) and opened again when it is back; a
  // Send in between says the port cannot be opened. Quietly: a window has
  // nothing to show until its user sends.
  auto* watch = new QTimer(this);
  connect(watch, &QTimer::timeout, this, [this] {
    if (SessionBusy()) return;
    if (Session().PortNumber() != kNoPort || Session().AwaySince()) Session().WatchPort(false);
  });
  watch->start(200);
}

void BoardWindow::setVisible(bool visible) {
  if (visible && !shown_) {
    shown_ = true;
    FirstShowing();
  }
  QWidget::setVisible(visible);
}

}  // namespace tablica
