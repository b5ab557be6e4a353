#pragma once

#include <QImage>

#include "board/bitmap.h"

namespace tablica {

// The picture of a bitmap for the screen: its stored pixels through its
// colour table. A null image when the bitmap is empty or its depth is one
// the screen copy does not handle.
QImage ToQImage(const Bitmap& bitmap);

}  // namespace tablica
