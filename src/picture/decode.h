#pragma once

// Pictures read from files and bytes that strangers may have made: every
// limit is checked before a decoder sees the bytes (the file's size, the
// 64-megapixel limit also where a GIF's logical screen is larger than its
// frames, files cut off), so that a hostile file ends in a Polish message
// rather than in a wrong picture, a stalled program or exhausted memory.
//
// Decoding needs a QGuiApplication (the image plug-ins come from it).

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "picture/format_checks.h"

class QBuffer;
class QImageReader;

namespace tablica::picture {

// Pictures needing more than this many pixels are refused before decoding.
inline constexpr std::int64_t kMaxPicturePixels = 64'000'000;
// Files longer than this are refused; a stream (a pipe, a device) is read
// no further.
inline constexpr std::int64_t kMaxPictureFileBytes = 512LL * 1024 * 1024;
// Qt's ceiling while decoding, in megabytes, one setting for the whole
// process: the largest accepted picture at 8 bytes a pixel (16 bits a
// channel, the most a PNG decodes to), with room to spare.
inline constexpr int kDecodeLimitMb = static_cast<int>(kMaxPicturePixels * 8 / (1024 * 1024)) + 16;

// A picture read for conversion: already upright (EXIF orientation
// applied), at most kMaxPicturePixels.
struct PictureResult {
  QImage image;
  std::string error;  // Polish
  bool Ok() const { return error.empty(); }
};

// Reads a file's bytes whole, at most kMaxPictureFileBytes, from a regular
// file and from a stream alike. Returns the Polish reason, or empty.
std::string ReadPictureFile(const std::filesystem::path& path, QByteArray& data);

// A GIF's block structure, walked without decoding.
struct GifLayout {
  QSize screen;           // the logical screen, which Qt's reader allocates
  QSize largestFrame;     // by area
  int frames = 0;         // whole frames
  bool complete = false;  // every block whole up to the trailer (or the last frame's end)
};
// None when the bytes do not start as a GIF.
std::optional<GifLayout> WalkGif(FileBytes data);

// What the checks found out about a picture's bytes.
struct PictureCheck {
  std::string error;  // Polish; empty when the bytes may be decoded
  QByteArray format;  // Qt's name of the format: "png", "gif" ...
  QSize size;         // as stored (before any turn); invalid where the format does not say
  int frames = 0;     // frames of a GIF, by its walk; otherwise what Qt's reader says (0: unknown)
  // The largest area the decoder holds for one frame, as the file declares
  // it (a GIF's logical screen where that is larger than its frames).
  std::int64_t framePixels = 0;
  bool Ok() const { return error.empty(); }
};

// Reads the frames of checked bytes one after another: the first for a
// still picture, each in turn for an animation. The bytes are checked as a
// whole when opened (CheckPicture), EXIF orientation is applied and Qt's
// decoding ceiling is set. Not copyable; one thread at a time.
class PictureFrames {
 public:
  PictureFrames();
  ~PictureFrames();
  PictureFrames(const PictureFrames&) = delete;
  PictureFrames& operator=(const PictureFrames&) = delete;

  // Checks `data` (shared, not copied; keep the bytes unchanged while
  // reading) and prepares the reader. `name` is how messages call the
  // picture. Returns the Polish reason, or empty.
  std::string Open(const QByteArray& data, const std::string& name);
  const PictureCheck& Check() const { return check_; }
  // For what the reader tells beside the frames: nextImageDelay(),
  // loopCount(), setScaledSize() before the first frame ... Open first.
  QImageReader& Reader();
  // The next frame, or the Polish reason why there is none (damaged data,
  // no frame left, memory refused).
  PictureResult ReadFrame();

 private:
  QByteArray data_;
  std::string name_;
  PictureCheck check_;
  std::optional<PictureResult> ownFrame_;  // a BMP read without Qt's reader
  std::unique_ptr<QBuffer> buffer_;
  std::unique_ptr<QImageReader> reader_;
};

// The checks alone (PictureFrames::Open makes them).
PictureCheck CheckPicture(const QByteArray& data, const std::string& name);

// Reads a picture whole (for a window that converts it again and again
// with other options). `name` is how messages call it.
PictureResult LoadPicture(const std::filesystem::path& path);
PictureResult LoadPictureData(std::span<const std::uint8_t> bytes, const std::string& name);

// The first frame of checked bytes. Where `sizeOnBoard` is given (the
// picture's size once placed, from its upright size), a format that can
// (JPEG) is decoded straight at that size when it is smaller both ways.
PictureResult DecodePicture(const QByteArray& data, const std::string& name,
                            const std::function<QSize(QSize)>& sizeOnBoard = {});

}  // namespace tablica::picture
