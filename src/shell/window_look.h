#pragma once

#include <QFont>

namespace tablica {

// The window's typeface. Windows has it; on Linux Wine's metric-compatible
// copy is used, which sits outside fontconfig's folders.
inline constexpr const char* kWindowFontFamily = "MS Sans Serif";
inline constexpr const char* kWineWindowFontFile = "/usr/share/wine/fonts/ms_sans_serif.ttf";
// Character height of the window's text; its heading is kHeadingFontPixels.
inline constexpr int kWindowFontPixels = 11;
inline constexpr int kHeadingFontPixels = 21;

// Makes kWindowFontFamily available to the application when the system
// does not have it. Returns false when it is still missing (the window then
// falls back to the default font).
bool LoadWindowFont();

// The typeface at a character height in pixels.
QFont WindowFont(int pixelSize);

// The layout is drawn for group boxes with their caption on the frame line
// and the classic control sizes: Windows keeps its own style, elsewhere Qt's
// "Windows" style draws the controls that way.
void ChooseWindowStyle();

}  // namespace tablica
