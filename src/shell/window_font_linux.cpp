// The window's typeface on Linux: Wine's metric-compatible "MS Sans Serif",
// a face of bitmap strikes in a file outside fontconfig's folders.

#include <QFontDatabase>
#include <QStringList>

#include "shell/heading_label.h"
#include "shell/window_look.h"

namespace tablica {
namespace {

constexpr const char* kWineWindowFontFile = "/usr/share/wine/fonts/ms_sans_serif.ttf";

}  // namespace

bool LoadWindowFont() {
  const QString family = QString::fromLatin1(kWindowFontFamily);
  if (QFontDatabase::families().contains(family)) return true;
  const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(kWineWindowFontFile));
  return id >= 0 && QFontDatabase::applicationFontFamilies(id).contains(family);
}

QRawFont HeadingFace() {
  return LargerStrikeOf(QString::fromLatin1(kWindowFontFamily), kHeadingFontPixels,
                        QString::fromLatin1(kWineWindowFontFile));
}

}  // namespace tablica
