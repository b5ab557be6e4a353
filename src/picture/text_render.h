#pragma once

// Text drawn as the board's dots: one or two lines, letters lit, in GNU
// Unifont (enlarged by whole factors) or any font, aligned on the board.

#include <QImage>
#include <string>

#include "picture/convert_options.h"
#include "picture/dots.h"

namespace tablica::picture {

// The text lines of `options` in its font, size and alignment; text that
// does not fit is refused with the overflow in dots, never cut. Needs a
// QGuiApplication.
DotsResult RenderText(const ConvertOptions& options);

// A scrolling line is at most this many dots long.
inline constexpr int kMaxStripWidth = 65536;

// One line of text as long as it is, for a line that scrolls across the
// board: drawn as RenderText draws a single line (the same font, the
// largest size whose height fits the area), at the strip's left edge, the
// area's height high, one byte a dot (255 lit, 0 unlit). `options` gives
// the font and the size; its text and alignment are not used.
struct TextStripResult {
  QImage strip;
  std::string error;  // Polish
  bool Ok() const { return error.empty(); }
};
TextStripResult RenderTextStrip(const std::string& text, const ConvertOptions& options);

}  // namespace tablica::picture
