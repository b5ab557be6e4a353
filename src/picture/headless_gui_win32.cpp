#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "picture/headless_gui.h"

namespace tablica::picture {

// Windows' own platform plug-in starts without showing anything and reads
// the system's fonts, so a terminal program uses it as it is.
void UseHeadlessPlatform() {}

// The image libraries print through the C runtime's standard error, which
// the program shares with them.
DecoderQuiet::DecoderQuiet() {
  if (!DecodersQuieted()) return;
  const int nowhere = ::_open("NUL", _O_WRONLY);
  if (nowhere < 0) return;
  std::fflush(stderr);
  saved_ = ::_dup(2);
  if (saved_ >= 0) ::_dup2(nowhere, 2);
  ::_close(nowhere);
}

DecoderQuiet::~DecoderQuiet() {
  if (saved_ < 0) return;
  std::fflush(stderr);
  ::_dup2(saved_, 2);
  ::_close(saved_);
}

}  // namespace tablica::picture
