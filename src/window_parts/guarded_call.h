#pragma once

#include <exception>
#include <utility>

#include "common/show_message.h"

namespace tablica {

namespace messages {
inline constexpr const char* kUnknownError = "Wystąpił nieoczekiwany błąd.";
}  // namespace messages

// Runs `command`; an exception that escapes it is shown with `showError`
// instead of ending the program, which goes on. True when the command ran
// to its end.
template <class Command>
bool GuardedCall(const ShowMessageFn& showError, Command&& command) {
  try {
    std::forward<Command>(command)();
    return true;
  } catch (const std::exception& error) {
    showError(error.what());
  } catch (...) {
    showError(messages::kUnknownError);
  }
  return false;
}

}  // namespace tablica
