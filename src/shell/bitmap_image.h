#pragma once

#include <QImage>
#include <QSize>

#include "board/bitmap.h"

namespace tablica {

// The part of a bitmap that a view of `limit` pixels shows, from its
// top-left corner, unscaled. A null image when the bitmap is empty.
QImage ToQImage(const Bitmap& bitmap, QSize limit);

}  // namespace tablica
