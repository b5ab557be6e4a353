#pragma once

// How a board looks on screen, shared by the virtual board's window and the
// previews of converted pictures: round dots on a dark board, lit dots
// amber, unlit dots dim, one pitch both ways, the board centred.

#include <QImage>
#include <QPainter>
#include <QRectF>

#include "board/board_dots.h"

namespace tablica::picture {

// Fills `bounds` with the board's background and draws the 128 x 32 dots
// inside it, keeping a 4-pixel border.
void PaintDots(QPainter& painter, const QRectF& bounds, const IsLitFn& isLit);

// The board as an image, `pitch` pixels from one dot's centre to the next.
QImage PaintDotsImage(const IsLitFn& isLit, int pitch);

// The centre of dot (x, y) in an image made by PaintDotsImage or a widget
// painted by PaintDots, for tests and tools that read a preview back.
QPointF DotCentre(const QSizeF& bounds, int x, int y);

}  // namespace tablica::picture
