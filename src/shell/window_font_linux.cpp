// The window's typeface on Linux: Wine's metric-compatible "MS Sans Serif",
// a face of bitmap strikes in a file outside fontconfig's folders. A strike
// is asked for by its pixel size: 11 gives the 8-point one, 21 the 12-point
// one of the heading.

#include <QFontDatabase>
#include <QStringList>

#include "shell/heading_label.h"
#include "shell/window_look.h"

namespace tablica {
namespace {

constexpr const char* kWineWindowFontFile = "/usr/share/wine/fonts/ms_sans_serif.ttf";
constexpr int kBodyPixels = 11;
constexpr int kHeadingPixels = 21;

QFont FaceAt(int pixelSize) {
  QFont font(QString::fromLatin1(kWindowFontFamily));
  font.setPixelSize(pixelSize);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

}  // namespace

bool LoadWindowFont() {
  const QString family = QString::fromLatin1(kWindowFontFamily);
  if (QFontDatabase::families().contains(family)) return true;
  const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(kWineWindowFontFile));
  return id >= 0 && QFontDatabase::applicationFontFamilies(id).contains(family);
}

QString WindowFace() {
  return QString::fromLatin1(kWindowFontFamily);
}

QFont BodyFont() {
  return FaceAt(kBodyPixels);
}

QFont HeadingFont() {
  return FaceAt(kHeadingPixels);
}

QRawFont HeadingFace() {
  return LargerStrikeOf(QString::fromLatin1(kWindowFontFamily), kHeadingPixels,
                        QString::fromLatin1(kWineWindowFontFile));
}

}  // namespace tablica
