#include "shell/window_look.h"

#include <QApplication>
#include <QFontDatabase>
#include <QStringList>
#include <QStyle>

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

void ChooseWindowStyle() {
  // The platform styles of Windows are all named "windows...".
  if (QApplication::style()->name().startsWith(QLatin1String("windows"), Qt::CaseInsensitive)) {
    return;
  }
  QApplication::setStyle(QStringLiteral("Windows"));
}

}  // namespace tablica
