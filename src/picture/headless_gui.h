#pragma once

// Qt's start-up for terminal programs and services that draw pictures and
// text without a display.

namespace tablica::picture {

// Lets a QGuiApplication start without a display (Linux: the offscreen
// platform unless QT_QPA_PLATFORM says otherwise), and keeps Qt's own
// diagnostics (a plug-in's warning about a damaged file ...) off the
// terminal, where the program's messages say what happened. Call before
// creating the application object.
void PrepareHeadlessGui();

// Chooses a Qt platform plug-in that needs no display, unless the user
// chose one; one file a system.
void UseHeadlessPlatform();

}  // namespace tablica::picture
