#include <fcntl.h>
#include <unistd.h>

#include <QByteArray>
#include <QtGlobal>
#include <cstdio>

#include "picture/headless_gui.h"

namespace tablica::picture {

// Qt's offscreen platform still has fonts (fontconfig) and image plug-ins,
// and needs no X server.
void UseHeadlessPlatform() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
}

DecoderQuiet::DecoderQuiet() {
  if (!DecodersQuieted()) return;
  const int nowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (nowhere < 0) return;
  std::fflush(stderr);
  saved_ = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
  if (saved_ >= 0) ::dup2(nowhere, STDERR_FILENO);
  ::close(nowhere);
}

DecoderQuiet::~DecoderQuiet() {
  if (saved_ < 0) return;
  std::fflush(stderr);
  ::dup2(saved_, STDERR_FILENO);
  ::close(saved_);
}

}  // namespace tablica::picture
