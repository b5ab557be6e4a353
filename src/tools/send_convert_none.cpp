// tablica-send built without Qt: --convert cannot be offered.

#include "tools/send_tool.h"

namespace tablica::tools {

int RunConvertingSend(int, char**, SerialPlatform&, const ShowMessageFn& showMessage) {
  showMessage("Ta kompilacja tablica-send nie umie zamieniać obrazów (--convert).");
  return kExitFailed;
}

}  // namespace tablica::tools
