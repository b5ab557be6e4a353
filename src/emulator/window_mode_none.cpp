#include "emulator/window_mode.h"

namespace emulator {

bool WindowAvailable() {
  return false;
}

int RunBoardWindow(int, char**, WindowContext&) {
  return 2;
}

}  // namespace emulator
