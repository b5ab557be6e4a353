#include "emulator/window_mode.h"

namespace emulator {

std::unique_ptr<WindowMode> OpenWindowMode(int&, char**) {
  return nullptr;
}

}  // namespace emulator
