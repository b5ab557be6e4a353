#pragma once

#include <QFont>
#include <QRawFont>
#include <QString>

namespace tablica {

// The window's typeface, as its layout is drawn for: 8 points for the text
// and 12 for the heading. Windows has it; on Linux Wine's metric-compatible
// copy is used, which sits outside fontconfig's folders.
inline constexpr const char* kWindowFontFamily = "MS Sans Serif";

// The platform's pieces (window_font_linux.cpp, window_font_windows.cpp):

// Makes the window's typeface available to the application. Returns false
// when it is still missing (the window then falls back to the default font).
// Windows' own face is the only one used there; on Linux Wine's copy is
// loaded from its file.
bool LoadWindowFont();

// The face the window's text is drawn in, as the font database names it.
QString WindowFace();

// The window's text and its heading.
QFont BodyFont();
QFont HeadingFont();

// The face that draws the heading when font matching alone would draw it
// smaller (see HeadingLabel); invalid when the heading's own font is right.
QRawFont HeadingFace();

// The layout is drawn for group boxes with their caption on the frame line
// and the classic control sizes: Windows keeps its own style, elsewhere Qt's
// "Windows" style draws the controls that way.
void ChooseWindowStyle();

}  // namespace tablica
