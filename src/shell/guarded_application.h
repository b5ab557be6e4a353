#pragma once

#include <array>
#include <string>

#include <QApplication>

#include "serial/serial_link.h"

namespace tablica {

// The command line Qt is given: the program's name alone. The program takes
// no arguments, so Qt's own options (-platform, -style, -reverse, ...) on
// the real command line must not reach it either.
class ProgramNameOnly {
 protected:
  explicit ProgramNameOnly(const char* programName);

  int argc_ = 1;
  std::string name_;
  std::array<char*, 2> argv_{};
};

// The application object. An exception that escapes the handling of an
// event is shown in an error box and the event loop goes on.
class GuardedApplication final : private ProgramNameOnly, public QApplication {
 public:
  // `programName` is argv[0] (may be null).
  GuardedApplication(const char* programName, ShowMessageFn showError);
  bool notify(QObject* receiver, QEvent* event) override;

 private:
  ShowMessageFn showError_;
};

}  // namespace tablica
