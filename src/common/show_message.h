#pragma once

#include <functional>
#include <string>

namespace tablica {

// Every user-visible message goes through one of these (a message box in a
// window, standard error in a terminal program, a log line in the service, a
// recorder in tests).
using ShowMessageFn = std::function<void(const std::string& text)>;

}  // namespace tablica
