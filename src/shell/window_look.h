#pragma once

#include <QFont>
#include <QRawFont>

namespace tablica {

// The window's typeface. Windows has it; on Linux Wine's metric-compatible
// copy is used, which sits outside fontconfig's folders.
inline constexpr const char* kWindowFontFamily = "MS Sans Serif";
// Character height of the window's text; its heading is kHeadingFontPixels.
inline constexpr int kWindowFontPixels = 11;
inline constexpr int kHeadingFontPixels = 21;

// Makes kWindowFontFamily available to the application when the system
// does not have it. Returns false when it is still missing (the window then
// falls back to the default font). Windows' own copy is the only one used
// there (window_font_windows.cpp); on Linux Wine's is loaded from its file
// (window_font_linux.cpp).
bool LoadWindowFont();

// The face that draws the heading at kHeadingFontPixels when font matching
// alone would draw it smaller (see HeadingLabel); invalid when the heading's
// own font is right.
QRawFont HeadingFace();

// The typeface at a character height in pixels.
QFont WindowFont(int pixelSize);

// The layout is drawn for group boxes with their caption on the frame line
// and the classic control sizes: Windows keeps its own style, elsewhere Qt's
// "Windows" style draws the controls that way.
void ChooseWindowStyle();

}  // namespace tablica
