#include "tools/console_output.h"

namespace tablica::tools {

void PrepareConsoleOutput() {}

}  // namespace tablica::tools
