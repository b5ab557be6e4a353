#pragma once

// Any picture or text made ready for the board: the 128 x 32 dots, the
// one-bit bitmap the window and tablica-send take, and a preview drawn as
// the virtual board draws it. The library's one header for its callers;
// each job has its own beside it:
//   decode.h        files and bytes read with every limit checked, frames
//   placement.h     where a picture lands and how it is scaled
//   dots.h          brightness to dots
//   text_render.h   text to dots
//   board_files.h   the bitmap and the preview written
//   headless_gui.h  Qt started without a display
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

#include "board/board_dots.h"
#include "picture/board_files.h"
#include "picture/convert_options.h"
#include "picture/decode.h"
#include "picture/dots.h"
#include "picture/headless_gui.h"
#include "picture/placement.h"
#include "picture/text_render.h"

namespace tablica::picture {

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
  std::string Prepare(Placement placement);

  QByteArray data_;  // the file's bytes
  std::string name_;
  std::map<Placement, OnBoard> placed_;  // the part on the board, for each placement
};

// File or bytes to dots in one go. Faster than LoadPicture + ConvertImage
// for large JPEG files: they are decoded straight at the size the board needs.
DotsResult ConvertPictureFile(const std::filesystem::path& path, const ConvertOptions& options);
DotsResult ConvertPictureData(std::span<const std::uint8_t> bytes, const std::string& name,
                              const ConvertOptions& options);

// Text when options has text, otherwise the picture file.
DotsResult MakeDots(const ConvertOptions& options, const std::filesystem::path& picture);

}  // namespace tablica::picture
