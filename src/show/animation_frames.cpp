#include "show/animation_frames.h"

#include <QByteArray>
#include <QImageReader>

#include "picture/convert.h"

namespace tablica::show {

namespace {

std::chrono::milliseconds FrameDelay(int stated) {
  const std::chrono::milliseconds delay(stated);
  return delay < kShortestFrameDelay ? kUnstatedFrameDelay : delay;
}

}  // namespace

AnimationResult ReadAnimation(const PictureSource& source, const picture::ConvertOptions& options,
                              int maxFrames) {
  // The file's bytes (at most the picture library's limit) or the show's
  // own; the frames are decoded from them one at a time.
  QByteArray bytes;
  std::string name = "z pokazu";
  if (source.Inline()) {
    bytes = QByteArray::fromRawData(source.data.data(), static_cast<qsizetype>(source.data.size()));
  } else {
    name = picture::Utf8Name(source.path);
    if (std::string problem = picture::ReadPictureFile(source.path, bytes); !problem.empty()) {
      return {{}, problem};
    }
  }
  picture::PictureFrames reader;
  if (std::string problem = reader.Open(bytes, name); !problem.empty()) {
    return {{}, problem};
  }
  // A GIF's frames are counted by its walk; other formats may not say.
  const int stated = reader.Check().frames;
  if (stated > maxFrames) {
    return {{},
            "Animacja " + name + " ma " + std::to_string(stated) + " klatek, więcej niż " +
                std::to_string(maxFrames) + "."};
  }
  AnimationResult result;
  while (stated == 0 || static_cast<int>(result.frames.size()) < stated) {
    const picture::PictureResult frame = reader.ReadFrame();
    if (!frame.Ok()) {
      // A format that does not count its frames ends with a failed read.
      if (stated > 0 || result.frames.empty()) return {{}, frame.error};
      break;
    }
    if (static_cast<int>(result.frames.size()) == maxFrames) {
      return {{}, "Animacja " + name + " ma więcej niż " + std::to_string(maxFrames) + " klatek."};
    }
    const picture::DotsResult dots = picture::ConvertImage(frame.image, options);
    if (!dots.Ok()) return {{}, dots.error};
    result.frames.push_back({dots.dots, FrameDelay(reader.Reader().nextImageDelay())});
  }
  return result;
}

}  // namespace tablica::show
