#include "shell/heading_label.h"

#include <QFileInfo>
#include <QFontInfo>
#include <QGlyphRun>
#include <QPainter>
#include <QtMath>

namespace tablica {
namespace {

QList<QPointF> GlyphPositions(const QRawFont& font, const QList<quint32>& glyphs) {
  QList<QPointF> positions;
  positions.reserve(glyphs.size());
  qreal x = 0;
  for (const QPointF& advance : font.advancesForGlyphIndexes(glyphs)) {
    positions.append(QPointF(x, font.ascent()));
    x += advance.x();
  }
  return positions;
}

}  // namespace

void HeadingLabel::SetRawFont(const QRawFont& font) {
  rawFont_ = font;
  update();
}

int HeadingLabel::CaptionWidth() const {
  if (!rawFont_.isValid()) return fontMetrics().horizontalAdvance(text());
  qreal width = 0;
  for (const QPointF& advance :
       rawFont_.advancesForGlyphIndexes(rawFont_.glyphIndexesForString(text()))) {
    width += advance.x();
  }
  return qCeil(width);
}

void HeadingLabel::paintEvent(QPaintEvent* event) {
  if (!rawFont_.isValid()) {
    QLabel::paintEvent(event);
    return;
  }
  QGlyphRun run;
  run.setRawFont(rawFont_);
  const QList<quint32> glyphs = rawFont_.glyphIndexesForString(text());
  run.setGlyphIndexes(glyphs);
  run.setPositions(GlyphPositions(rawFont_, glyphs));
  QPainter painter(this);
  painter.setPen(palette().color(foregroundRole()));
  painter.drawGlyphRun(QPointF(0, 0), run);
}

QRawFont LargerStrikeOf(const QString& family, int pixelSize, const QString& file) {
  QFont wanted(family);
  wanted.setPixelSize(pixelSize);
  const QFontInfo matched(wanted);
  if (matched.family() != family || matched.pixelSize() >= pixelSize - 1) return {};
  if (!QFileInfo::exists(file)) return {};
  // A bitmap face picks the strike nearest the asked size.
  QRawFont raw(file, pixelSize);
  if (!raw.isValid() || raw.familyName() != family) return {};
  return raw;
}

}  // namespace tablica
