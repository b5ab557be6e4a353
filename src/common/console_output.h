#pragma once

namespace tablica {

// Makes the console show the programs' messages, which are UTF-8 text, as
// written: Windows' console otherwise reads them in its own code page, so
// Polish letters come out wrong (console_output_win32.cpp). Elsewhere the
// terminal takes UTF-8 as it is (console_output_posix.cpp).
void PrepareConsoleOutput();

}  // namespace tablica
