#include "picture/headless_gui.h"

namespace tablica::picture {

// Windows' own platform plug-in starts without showing anything and reads
// the system's fonts, so a terminal program uses it as it is.
void UseHeadlessPlatform() {}

}  // namespace tablica::picture
