// The part of the headless start-up every system shares: Qt's diagnostics
// kept to the serious ones.

#include <QString>
#include <QtGlobal>
#include <cstdio>

#include "picture/headless_gui.h"

namespace tablica::picture {

namespace {

void KeepSerious(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg)
    std::fprintf(stderr, "%s\n", qPrintable(message));
}

}  // namespace

void PrepareHeadlessGui() {
  UseHeadlessPlatform();
  qInstallMessageHandler(KeepSerious);
}

}  // namespace tablica::picture
