#pragma once

// The files made of the board's dots: the one-bit 128 x 32 bitmap the
// window and tablica-send take, and a preview drawn as the virtual board
// draws it.

#include <QByteArray>
#include <QImage>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "board/board_dots.h"

namespace tablica::picture {

// The one-bit 128 x 32 bitmap's file (DotsToBitmap, encoded).
std::vector<std::uint8_t> EncodeDotsBmp(const BoardDots& dots);
// Writes the bitmap file whole or not at all (an existing file stays as it
// was when writing fails). Returns the Polish reason, or empty.
std::string WriteDotsBmp(const BoardDots& dots, const std::filesystem::path& path);

// The board drawn as the virtual board draws it: round dots on a dark
// board, lit ones bright, unlit ones dim; `pitch` pixels a dot, a 4-pixel
// border.
QImage DrawPreview(const BoardDots& dots, int pitch = 5);
// That drawing as a PNG file's bytes; empty when it cannot be made.
QByteArray EncodePreviewPng(const BoardDots& dots, int pitch = 5);
// Writes it whole or not at all. Returns the Polish reason, or empty.
std::string WritePreviewPng(const BoardDots& dots, const std::filesystem::path& path,
                            int pitch = 5);

}  // namespace tablica::picture
