// The window's typeface on Windows: the system's "MS Sans Serif" in the
// form Qt can draw. Windows' MS Sans Serif is a bitmap face; Qt 6 asks for
// its strikes by their cell height as if it were the character height, so
// the 8-point text would come out in the 10-point strike, and its bitmaps
// hold one code page, so Polish letters would come from another face.
// Windows also has the face's TrueType twin, "Microsoft Sans Serif", made to
// the same metrics: the window asks for outlines only, which leads Qt from
// MS Sans Serif to its twin. No font file of the program's is loaded.

#include <QFontDatabase>
#include <QStringList>

#include "shell/window_look.h"

namespace tablica {
namespace {

constexpr const char* kOutlineTwin = "Microsoft Sans Serif";
constexpr int kBodyPoints = 8;
constexpr int kHeadingPoints = 12;

QFont FaceAt(int pointSize) {
  QFont font(QString::fromLatin1(kWindowFontFamily));
  font.setPointSize(pointSize);
  font.setStyleHint(QFont::SansSerif);
  font.setStyleStrategy(QFont::ForceOutline);
  return font;
}

}  // namespace

bool LoadWindowFont() {
  QFont::insertSubstitution(QString::fromLatin1(kWindowFontFamily),
                            QString::fromLatin1(kOutlineTwin));
  return QFontDatabase::families().contains(QString::fromLatin1(kOutlineTwin));
}

QString WindowFace() {
  return QString::fromLatin1(kOutlineTwin);
}

QFont BodyFont() {
  return FaceAt(kBodyPoints);
}

QFont HeadingFont() {
  return FaceAt(kHeadingPoints);
}

QRawFont HeadingFace() {
  return {};  // the outline face is drawn at the heading's size itself
}

}  // namespace tablica
