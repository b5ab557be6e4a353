#include "window_parts/guarded_application.h"

#include <utility>

#include "window_parts/guarded_call.h"

namespace tablica {

ProgramNameOnly::ProgramNameOnly(const char* programName)
    : name_(programName != nullptr ? programName : ""), argv_{name_.data(), nullptr} {}

// QApplication keeps argc and argv by reference for its whole life: both are
// members of the base constructed before it.
GuardedApplication::GuardedApplication(const char* programName, ShowMessageFn showError)
    : ProgramNameOnly(programName),
      QApplication(argc_, argv_.data()),
      showError_(std::move(showError)) {}

GuardedApplication::GuardedApplication(int& argc, char** argv, ShowMessageFn showError)
    : QApplication(argc, argv), showError_(std::move(showError)) {}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
  bool handled = false;
  GuardedCall(showError_, [&] { handled = QApplication::notify(receiver, event); });
  return handled;
}

}  // namespace tablica
