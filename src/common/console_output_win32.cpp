#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "common/console_output.h"

namespace tablica {

void PrepareConsoleOutput() {
  // Without a console (output to a file or a pipe) this does nothing, and
  // the bytes go out as they are.
  SetConsoleOutputCP(CP_UTF8);
}

}  // namespace tablica
