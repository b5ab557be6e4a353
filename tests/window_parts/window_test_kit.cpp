#include "window_test_kit.h"

namespace tablica::window_testing {

std::vector<std::string>& ApplicationErrors() {
  static std::vector<std::string> errors;
  return errors;
}

}  // namespace tablica::window_testing
