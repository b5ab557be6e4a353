#include "common/console_output.h"

namespace tablica {

void PrepareConsoleOutput() {}

}  // namespace tablica
