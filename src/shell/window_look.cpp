#include "shell/window_look.h"

#include <QApplication>
#include <QStringList>
#include <QStyle>

namespace tablica {

void ChooseWindowStyle() {
  // The platform styles of Windows are all named "windows...".
  if (QApplication::style()->name().startsWith(QLatin1String("windows"), Qt::CaseInsensitive)) {
    return;
  }
  QApplication::setStyle(QStringLiteral("Windows"));
}

}  // namespace tablica
