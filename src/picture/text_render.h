#pragma once

// Text drawn as the board's dots: one or two lines, letters lit, in GNU
// Unifont (enlarged by whole factors) or any font, aligned on the board.

#include "picture/convert_options.h"
#include "picture/dots.h"

namespace tablica::picture {

// The text lines of `options` in its font, size and alignment; text that
// does not fit is refused with the overflow in dots, never cut. Needs a
// QGuiApplication.
DotsResult RenderText(const ConvertOptions& options);

}  // namespace tablica::picture
