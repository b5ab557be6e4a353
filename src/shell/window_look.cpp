#include "shell/window_look.h"

#include <QApplication>
#include <QStringList>
#include <QStyle>

namespace tablica {

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
