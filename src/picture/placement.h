#pragma once

// Where a picture lands on the board and how it is scaled for its
// placement. Only the part that shows is ever kept: a picture placed to
// fill the board is cut to that part before it is scaled where scaling it
// whole would take far more memory than the picture and the board (a tall,
// thin picture grows by the board's width on both sides).

#include <QImage>
#include <QPoint>
#include <QSize>
#include <string>

#include "board/board_dots.h"
#include "picture/convert_options.h"

namespace tablica::picture {

// A picture's size once scaled for its placement, and its top-left corner
// on the board (negative when the board cuts it).
struct Placed {
  QSize size;
  QPoint offset;
};
// `area`: the board, or the zone the picture is drawn in.
Placed PlaceOnBoard(QSize picture, Placement placement,
                    QSize area = QSize(kBoardWidth, kBoardHeight));

// The part of a picture that shows on the board, scaled, and where its
// top-left corner lands; or the Polish reason why there is none (Qt could
// not get the memory).
struct OnBoard {
  QImage picture;
  QPoint corner;
  std::string error;
  bool Ok() const { return error.empty(); }
};
OnBoard PlaceImage(const QImage& image, Placement placement,
                   QSize area = QSize(kBoardWidth, kBoardHeight));

}  // namespace tablica::picture
