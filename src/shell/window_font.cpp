#include "shell/window_font.h"

#include <QFontDatabase>
#include <QStringList>

namespace tablica {

bool LoadWindowFont() {
  const QString family = QString::fromLatin1(kWindowFontFamily);
  if (QFontDatabase::families().contains(family)) return true;
  const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(kWineWindowFontFile));
  return id >= 0 && QFontDatabase::applicationFontFamilies(id).contains(family);
}

QFont WindowFont(int pixelSize) {
  QFont font(QString::fromLatin1(kWindowFontFamily));
  font.setPixelSize(pixelSize);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

}  // namespace tablica
