#include "show/animation_frames.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <memory>

#include "picture/convert.h"
#include "show/show_fields.h"

namespace tablica::show {

namespace {

// An animation file larger than this is refused before it is read.
constexpr qint64 kMaxAnimationBytes = 512LL * 1024 * 1024;

std::chrono::milliseconds FrameDelay(int stated) {
  const std::chrono::milliseconds delay(stated);
  return delay < kShortestFrameDelay ? kUnstatedFrameDelay : delay;
}

std::string SizeText(QSize size) {
  return std::to_string(size.width()) + " × " + std::to_string(size.height());
}

}  // namespace

AnimationResult ReadAnimation(const PictureSource& source, const picture::ConvertOptions& options,
                              int maxFrames) {
  const std::string name = source.Inline() ? "z pokazu" : picture::Utf8Name(source.path);
  std::unique_ptr<QIODevice> device;
  QByteArray bytes;
  if (source.Inline()) {
    bytes = QByteArray::fromRawData(source.data.data(), static_cast<qsizetype>(source.data.size()));
    device = std::make_unique<QBuffer>(&bytes);
  } else {
    device = std::make_unique<QFile>(QString::fromStdU16String(source.path.u16string()));
  }
  if (!device->open(QIODevice::ReadOnly)) return {{}, "nie mogę otworzyć pliku " + name + "."};
  if (device->size() > kMaxAnimationBytes || (device->isSequential() && !source.Inline())) {
    return {{}, "plik " + name + " jest za duży na animację albo nie jest zwykłym plikiem."};
  }

  QImageReader reader(device.get());
  if (reader.format().isEmpty() || !reader.canRead()) {
    return {{}, "plik " + name + " nie jest obrazem, który umiem odczytać."};
  }
  // The size a GIF gives is its logical screen, on which Qt draws every frame.
  const QSize size = reader.size();
  if (size.isValid() &&
      static_cast<std::int64_t>(size.width()) * size.height() > picture::kMaxPicturePixels) {
    return {{},
            "obraz " + name + " ma " + SizeText(size) +
                " pikseli, ponad 64 megapiksele; takiego nie wczytuję."};
  }
  const int stated = reader.imageCount();
  if (stated > maxFrames) {
    return {{},
            "animacja " + name + " ma " + std::to_string(stated) + " klatek, więcej niż " +
                std::to_string(maxFrames) + "."};
  }
  // Qt's own ceiling while decoding a frame, as for any picture.
  QImageReader::setAllocationLimit(
      static_cast<int>(picture::kMaxPicturePixels * 4 / (1024 * 1024)) + 16);

  AnimationResult result;
  for (;;) {
    if (stated > 0 && static_cast<int>(result.frames.size()) == stated) break;
    QImage frame;
    if (!reader.read(&frame) || frame.isNull()) {
      // Formats that say how many frames they have must give them all.
      if (stated > 0 || result.frames.empty()) {
        return {{}, "obraz " + name + " jest uszkodzony albo niepełny."};
      }
      break;
    }
    if (static_cast<int>(result.frames.size()) == maxFrames) {
      return {{}, "animacja " + name + " ma więcej niż " + std::to_string(maxFrames) + " klatek."};
    }
    const picture::DotsResult dots = picture::ConvertImage(frame, options);
    if (!dots.Ok()) return {{}, AsClause(dots.error)};
    result.frames.push_back({dots.dots, FrameDelay(reader.nextImageDelay())});
  }
  return result;
}

}  // namespace tablica::show
