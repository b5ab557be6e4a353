// The window's typeface on Windows: the system's own "MS Sans Serif", in
// every size the system has. No font file of the program's is loaded.

#include <QFontDatabase>
#include <QStringList>

#include "shell/window_look.h"

namespace tablica {

bool LoadWindowFont() {
  return QFontDatabase::families().contains(QString::fromLatin1(kWindowFontFamily));
}

QRawFont HeadingFace() {
  return {};  // the system draws the face at the heading's size itself
}

}  // namespace tablica
