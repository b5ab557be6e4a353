#pragma once

#include <QLabel>
#include <QRawFont>

namespace tablica {

// The window's heading. A bitmap typeface loaded from a file offers Qt's
// font matching only its first size, so a heading in such a face would come
// out at body-text size; given a raw font, the label draws its caption from
// the face's own larger glyphs instead.
class HeadingLabel final : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;

  void SetRawFont(const QRawFont& font);
  bool UsesRawFont() const { return rawFont_.isValid(); }
  // Width of the caption as drawn, in pixels.
  int CaptionWidth() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRawFont rawFont_;
};

// The face of `family` at `pixelSize` read straight from `file`, when Qt's
// font matching would give that family at a smaller size; otherwise an
// invalid raw font (the label's own font is right).
QRawFont LargerStrikeOf(const QString& family, int pixelSize, const QString& file);

}  // namespace tablica
