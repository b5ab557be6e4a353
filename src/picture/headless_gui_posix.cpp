#include <QByteArray>
#include <QtGlobal>

#include "picture/headless_gui.h"

namespace tablica::picture {

// Qt's offscreen platform still has fonts (fontconfig) and image plug-ins,
// and needs no X server.
void UseHeadlessPlatform() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
}

}  // namespace tablica::picture
