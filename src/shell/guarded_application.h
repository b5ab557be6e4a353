#pragma once

#include <QApplication>

#include "serial/serial_link.h"

namespace tablica {

// The application object. An exception that escapes the handling of an
// event is shown in an error box and the event loop goes on.
class GuardedApplication final : public QApplication {
 public:
  GuardedApplication(int& argc, char** argv, ShowMessageFn showError);
  bool notify(QObject* receiver, QEvent* event) override;

 private:
  ShowMessageFn showError_;
};

}  // namespace tablica
