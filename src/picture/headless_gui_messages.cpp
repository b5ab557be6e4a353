// The part of the headless start-up every system shares: Qt's diagnostics
// kept to the serious ones.

#include <QString>
#include <QtGlobal>
#include <atomic>
#include <cstdio>

#include "picture/headless_gui.h"

namespace tablica::picture {

namespace {

// Standard error is the process's, so whether decoders may write to it is too.
std::atomic<bool> quietDecoders{false};

void KeepSerious(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg)
    std::fprintf(stderr, "%s\n", qPrintable(message));
}

}  // namespace

void PrepareHeadlessGui() {
  UseHeadlessPlatform();
  qInstallMessageHandler(KeepSerious);
}

void QuietDecodersOnStandardError() {
  quietDecoders = true;
}

bool DecodersQuieted() {
  return quietDecoders;
}

}  // namespace tablica::picture
