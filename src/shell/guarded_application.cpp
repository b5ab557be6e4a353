#include "shell/guarded_application.h"

#include <exception>
#include <utility>

#include "shell/TZapisBitmapy.h"

namespace tablica {

GuardedApplication::GuardedApplication(int& argc, char** argv, ShowMessageFn showError)
    : QApplication(argc, argv), showError_(std::move(showError)) {}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    showError_(error.what());
  } catch (...) {
    showError_(messages::kUnknownError);
  }
  return false;
}

}  // namespace tablica
