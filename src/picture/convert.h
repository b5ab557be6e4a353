#pragma once

// Any picture or text made ready for the board: the 128 x 32 dots, the
// one-bit bitmap the window and tablica-send take, and a preview drawn as
// the virtual board draws it.
//
// Pictures come through Qt's image reader (BMP of every depth, PNG, JPEG,
// GIF's first frame ...); text is drawn with QFont. Both need a
// QGuiApplication to exist (fonts and image plug-ins come from it);
// PrepareHeadlessGui() lets a terminal program make one without a display.

#include <QByteArray>
#include <QImage>
#include <cstdint>
#include <filesystem>
#include <map>
#include <span>
#include <string>

#include "board/bitmap.h"
#include "board/board_dots.h"
#include "picture/convert_options.h"

namespace tablica::picture {

// Pictures needing more than this many pixels are refused before decoding.
inline constexpr std::int64_t kMaxPicturePixels = 64'000'000;

// The dots, or why there are none: a Polish message for the user.
struct DotsResult {
  BoardDots dots;
  std::string error;
  bool Ok() const { return error.empty(); }
};

// A picture read for conversion: already upright (EXIF orientation
// applied), at most kMaxPicturePixels.
struct PictureResult {
  QImage image;
  std::string error;  // Polish
  bool Ok() const { return error.empty(); }
};

// Reads a picture file whole (for a window that converts it again and
// again with other options). `name` is how messages call it.
PictureResult LoadPicture(const std::filesystem::path& path);
PictureResult LoadPictureData(std::span<const std::uint8_t> bytes, const std::string& name);

// The picture's dots by the picture options of `options`.
DotsResult ConvertImage(const QImage& image, const ConvertOptions& options);

// A picture opened once and converted again and again with other options
// (a window's preview). The file is read once, and decoded and scaled once
// for each placement the way ConvertPictureFile does it, so Convert gives
// exactly ConvertPictureFile's dots without reading or scaling again.
class PreparedPicture {
 public:
  // Reads the file and decodes it for `placement`. On failure returns the
  // Polish reason and keeps the picture it had; empty on success.
  std::string Open(const std::filesystem::path& path, Placement placement = Placement::Fit);
  bool IsOpen() const { return !data_.isEmpty(); }
  // The dots for `options`' picture choices; none while nothing is open.
  DotsResult Convert(const ConvertOptions& options);

 private:
  struct OnBoard {
    QImage picture;  // scaled for the placement, cut to the board
    QPoint corner;   // its top-left corner on the board
  };
  std::string Prepare(Placement placement);

  QByteArray data_;  // the file's bytes
  std::string name_;
  std::map<Placement, OnBoard> placed_;
};

// File or bytes to dots in one go. Faster than LoadPicture + ConvertImage
// for large JPEG files: they are decoded straight at the size the board needs.
DotsResult ConvertPictureFile(const std::filesystem::path& path, const ConvertOptions& options);
DotsResult ConvertPictureData(std::span<const std::uint8_t> bytes, const std::string& name,
                              const ConvertOptions& options);

// The text lines of `options` in its font, size and alignment; text that
// does not fit is refused with the overflow in dots, never cut.
DotsResult RenderText(const ConvertOptions& options);

// Text when options has text, otherwise the picture file.
DotsResult MakeDots(const ConvertOptions& options, const std::filesystem::path& picture);

// The one-bit 128 x 32 bitmap's file (DotsToBitmap, encoded).
std::vector<std::uint8_t> EncodeDotsBmp(const BoardDots& dots);
// Writes the bitmap file whole or not at all (an existing file stays as it
// was when writing fails). Returns the Polish reason, or empty.
std::string WriteDotsBmp(const BoardDots& dots, const std::filesystem::path& path);

// The board drawn as the virtual board draws it: round dots on a dark
// board, lit ones bright, unlit ones dim; `pitch` pixels a dot, a 4-pixel
// border. WritePreviewPng returns the Polish reason, or empty.
QImage DrawPreview(const BoardDots& dots, int pitch = 5);
std::string WritePreviewPng(const BoardDots& dots, const std::filesystem::path& path, int pitch = 5);

// For terminal programs: lets a QGuiApplication start without a display
// (Linux: the offscreen platform unless QT_QPA_PLATFORM says otherwise),
// and keeps Qt's own diagnostics (a plug-in's warning about a damaged
// file ...) off the terminal, where the program's messages say what
// happened. Call before creating the application object.
void PrepareHeadlessGui();

}  // namespace tablica::picture
