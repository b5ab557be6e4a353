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

// For terminal programs that print nothing else while a picture is
// decoded: the image libraries' own lines ("libpng error: ...") are kept
// off standard error, where the program's Polish message says what
// happened. Not for programs that write from other threads meanwhile (the
// service logs there): a decode would swallow their lines.
void QuietDecodersOnStandardError();
// Whether it was called (each system's DecoderQuiet asks).
bool DecodersQuieted();

// While one lives, and QuietDecodersOnStandardError was called, standard
// error goes nowhere; the program's own output is restored after it.
class DecoderQuiet {
 public:
  DecoderQuiet();
  ~DecoderQuiet();
  DecoderQuiet(const DecoderQuiet&) = delete;
  DecoderQuiet& operator=(const DecoderQuiet&) = delete;

 private:
  int saved_ = -1;  // standard error's own descriptor while quiet
};

// Chooses a Qt platform plug-in that needs no display, unless the user
// chose one; one file a system.
void UseHeadlessPlatform();

}  // namespace tablica::picture
