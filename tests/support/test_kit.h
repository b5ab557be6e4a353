#pragma once

// The test kit: bitmap files made byte by byte, and the bytes a board must
// receive, both worked out from the file format and the board's byte layout
// alone, never with the program's own reader, encoder or frame builder.
// Every test that needs a bitmap file or an expected frame takes it from
// here (namespace tablica::testing).
//
//   kit/bmp_file.h        BmpLayout, MakeBmp, OneBitRows, OneBitLayout, WriteBmp,
//                         and the field offsets for making damaged files
//   kit/board_wire.h      FrameBytes, BlockBytes, ExpectedWire, DotBytesWhere,
//                         PatternDots (standard library only)
//   kit/board_pictures.h  the same for the program's Bitmap and BoardDots,
//                         RandomPicture

#include "kit/bmp_file.h"
#include "kit/board_pictures.h"
#include "kit/board_wire.h"
