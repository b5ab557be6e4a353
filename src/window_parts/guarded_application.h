#pragma once

#include <array>
#include <string>

#include <QApplication>

#include "common/show_message.h"

namespace tablica {

// The command line Qt is given when a program takes none: the program's name
// alone, so that Qt's own options (-platform, -style, -reverse, ...) on the
// real command line do not reach it either.
class ProgramNameOnly {
 protected:
  ProgramNameOnly() = default;
  explicit ProgramNameOnly(const char* programName);

  int argc_ = 1;
  std::string name_;
  std::array<char*, 2> argv_{};
};

// The application object. An exception that escapes the handling of an
// event is shown in an error box and the event loop goes on.
class GuardedApplication final : private ProgramNameOnly, public QApplication {
 public:
  // For a program that takes no command line: Qt sees `programName`
  // (argv[0], or the program's own name when the system gives none) alone.
  GuardedApplication(const char* programName, ShowMessageFn showError);
  // For a program that reads its command line: Qt sees it whole and takes
  // its own options out of it.
  GuardedApplication(int& argc, char** argv, ShowMessageFn showError);
  bool notify(QObject* receiver, QEvent* event) override;

 private:
  ShowMessageFn showError_;
};

}  // namespace tablica
