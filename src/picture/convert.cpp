#include "picture/convert.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QSaveFile>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "picture/dots_painter.h"
#include "picture/headless_platform.h"

namespace tablica::picture {

namespace {

// Files larger than this are refused before they are read.
constexpr qint64 kMaxFileBytes = 512LL * 1024 * 1024;
// Enough for the largest accepted picture at 4 bytes a pixel; Qt refuses
// to allocate more while decoding, also where a format declares no size.
constexpr int kAllocationLimitMb = static_cast<int>(kMaxPicturePixels * 4 / (1024 * 1024)) + 16;

// Where a picture lands: its size once scaled and its top-left corner on the
// board (negative when the board cuts it).
struct Placed {
  QSize size;
  QPoint offset;
};

Placed PlaceOnBoard(QSize picture, Placement placement) {
  const double w = picture.width();
  const double h = picture.height();
  const auto scaled = [&](double scale, int minW, int minH) {
    return QSize(std::max(minW, static_cast<int>(std::lround(w * scale))),
                 std::max(minH, static_cast<int>(std::lround(h * scale))));
  };
  switch (placement) {
    case Placement::Fit: {
      QSize size = scaled(std::min(kBoardWidth / w, kBoardHeight / h), 1, 1);
      size = size.boundedTo(QSize(kBoardWidth, kBoardHeight));
      return {size, {(kBoardWidth - size.width()) / 2, (kBoardHeight - size.height()) / 2}};
    }
    case Placement::Fill: {
      const QSize size = scaled(std::max(kBoardWidth / w, kBoardHeight / h), kBoardWidth, kBoardHeight);
      return {size, {-(size.width() - kBoardWidth) / 2, -(size.height() - kBoardHeight) / 2}};
    }
    case Placement::Stretch:
      return {QSize(kBoardWidth, kBoardHeight), {0, 0}};
    case Placement::None:
      break;
  }
  return {picture, {0, 0}};
}

// The 8 x 8 Bayer matrix: each of 64 levels once, neighbours far apart.
constexpr std::array<std::array<int, 8>, 8> kBayer{{
    {0, 32, 8, 40, 2, 34, 10, 42},
    {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},
    {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},
    {63, 31, 55, 23, 61, 29, 53, 21},
}};

// Otsu's level: the split of the histogram with the largest variance
// between its two classes; brightness >= level is the bright class. A
// picture of one brightness has no split and gets the middle level.
int OtsuLevel(const std::array<std::int64_t, 256>& histogram) {
  double total = 0;
  double sum = 0;
  for (int v = 0; v < 256; ++v) {
    total += static_cast<double>(histogram[v]);
    sum += static_cast<double>(v) * static_cast<double>(histogram[v]);
  }
  double weightBelow = 0;
  double sumBelow = 0;
  double best = 0;
  int level = 128;
  for (int t = 0; t < 255; ++t) {
    weightBelow += static_cast<double>(histogram[t]);
    sumBelow += t * static_cast<double>(histogram[t]);
    const double weightAbove = total - weightBelow;
    if (weightBelow == 0 || weightAbove == 0) continue;
    const double difference = sumBelow / weightBelow - (sum - sumBelow) / weightAbove;
    const double between = weightBelow * weightAbove * difference * difference;
    if (between > best) {
      best = between;
      level = t + 1;
    }
  }
  return level;
}

// Lit dots of the grey board where the picture is (`area`); the rest of
// the board is background and stays unlit.
BoardDots DotsFromGrey(const QImage& grey, const QRect& area, const ConvertOptions& options) {
  BoardDots dots;
  const bool bright = options.lit == LitSide::Bright;
  const auto value = [&](int x, int y) { return static_cast<int>(grey.constScanLine(y)[x]); };
  switch (options.dots) {
    case DotsMethod::Threshold: {
      int level = 128;
      if (options.level) {
        level = *options.level;
      } else {
        std::array<std::int64_t, 256> histogram{};
        for (int y = area.top(); y <= area.bottom(); ++y) {
          for (int x = area.left(); x <= area.right(); ++x) ++histogram[value(x, y)];
        }
        level = OtsuLevel(histogram);
      }
      for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
          dots.SetLit(x, y, bright ? value(x, y) >= level : value(x, y) < level);
        }
      }
      break;
    }
    case DotsMethod::Ordered:
      // Levels 2, 6 ... 254: black always lights (lit dark), white never.
      for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
          const int level = 4 * kBayer[y % 8][x % 8] + 2;
          const int darkness = bright ? value(x, y) : 255 - value(x, y);
          dots.SetLit(x, y, darkness >= 256 - level);
        }
      }
      break;
    case DotsMethod::Diffusion: {
      // Qt's Floyd-Steinberg dither, on the picture's own area only, so no
      // error leaks into the unlit margins. It makes black the dark side.
      QImage part = grey.copy(area);
      if (bright) part.invertPixels();
      const QImage mono = part.convertToFormat(QImage::Format_Mono,
                                               Qt::MonoOnly | Qt::DiffuseDither | Qt::PreferDither);
      for (int y = 0; y < mono.height(); ++y) {
        for (int x = 0; x < mono.width(); ++x) {
          dots.SetLit(area.left() + x, area.top() + y, qGray(mono.pixel(x, y)) < 128);
        }
      }
      break;
    }
  }
  return dots;
}

// Qt's readers accept some damaged files as whole pictures (a JPEG cut
// short is padded with grey, a short BMP with black). These catch the
// cut-off ones before decoding.
bool JpegHasEnd(const QByteArray& data) {
  // The last scan is followed by the end-of-image marker; inside a scan a
  // 0xFF byte is always escaped, so a marker there is a real one.
  const qsizetype scan = data.lastIndexOf(QByteArray("\xFF\xDA", 2));
  return scan >= 0 && data.indexOf(QByteArray("\xFF\xD9", 2), scan + 2) >= 0;
}

std::uint32_t Le32(const QByteArray& data, qsizetype at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<std::uint8_t>(data[at + i]);
  return v;
}

bool BmpHasAllRows(const QByteArray& data) {
  if (data.size() < 34) return false;
  const std::int64_t pixelsAt = Le32(data, 10);
  const std::uint32_t infoSize = Le32(data, 14);
  if (infoSize < 40) return true;  // the old core header: Qt checks those itself
  const std::int64_t width = static_cast<std::int32_t>(Le32(data, 18));
  const std::int64_t height =
      std::abs(static_cast<std::int64_t>(static_cast<std::int32_t>(Le32(data, 22))));
  const int bits = static_cast<std::uint8_t>(data[28]) | static_cast<std::uint8_t>(data[29]) << 8;
  const std::uint32_t compression = Le32(data, 30);
  if (compression != 0 && compression != 3) return true;  // run-length: no fixed size
  if (width <= 0 || bits <= 0 || bits > 32) return true;  // nonsense: Qt refuses it
  // Whole rows the file holds, against the rows it declares (no product
  // that could overflow).
  const std::int64_t stride = (width * bits + 31) / 32 * 4;
  const std::int64_t stored = data.size() - pixelsAt;
  return stored >= 0 && stored / stride >= height;
}

// The size a BMP header declares, for Qt's reader gives none for pictures
// it finds too large.
QSize BmpDeclaredSize(const QByteArray& data) {
  if (data.size() < 26 || Le32(data, 14) < 40) return {};
  const std::int64_t width = static_cast<std::int32_t>(Le32(data, 18));
  const std::int64_t height =
      std::abs(static_cast<std::int64_t>(static_cast<std::int32_t>(Le32(data, 22))));
  if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX) return {};
  return QSize(static_cast<int>(width), static_cast<int>(height));
}

// A PNG ends with its IEND chunk (no data, so its length field is zero).
// Checked here too, so that a file cut short is refused before the PNG
// library prints its own complaint on the terminal.
bool PngHasEnd(const QByteArray& data) {
  const qsizetype end = data.lastIndexOf(QByteArray("IEND", 4));
  return end >= 4 && data.mid(end - 4, 4) == QByteArray(4, '\0');
}

bool LooksWhole(const QByteArray& data, const QByteArray& format) {
  if (format == "jpeg" || format == "jpg") return JpegHasEnd(data);
  if (format == "png") return PngHasEnd(data);
  if (format == "bmp") return BmpHasAllRows(data);
  return true;
}

PictureResult ReadPicture(const QByteArray& data, const std::string& name,
                          std::optional<Placement> decodeFor) {
  QByteArray bytes = data;  // shared, not copied
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  reader.setAutoTransform(true);
  const QByteArray format = reader.format();
  if (format.isEmpty() || !reader.canRead()) {
    return {{}, "Plik " + name + " nie jest obrazem, który umiem odczytać."};
  }
  QSize stored = reader.size();
  if (!stored.isValid() && format == "bmp") stored = BmpDeclaredSize(bytes);
  if (stored.isValid() &&
      static_cast<std::int64_t>(stored.width()) * stored.height() > kMaxPicturePixels) {
    return {{},
            "Obraz " + name + " ma " + std::to_string(stored.width()) + " × " +
                std::to_string(stored.height()) +
                " pikseli, ponad 64 megapiksele; takiego nie wczytuję."};
  }
  if (!LooksWhole(bytes, format)) {
    return {{}, "Obraz " + name + " jest uszkodzony albo niepełny."};
  }
  // Qt's own ceiling while decoding; one setting for the whole process.
  QImageReader::setAllocationLimit(kAllocationLimitMb);

  // Large JPEG files decode straight at (about) the size the board needs.
  const bool turned = reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
  const QSize upright = turned ? stored.transposed() : stored;
  if (decodeFor && *decodeFor != Placement::None && stored.isValid() &&
      reader.supportsOption(QImageIOHandler::ScaledSize)) {
    const QSize target = PlaceOnBoard(upright, *decodeFor).size;
    if (target.width() < upright.width() && target.height() < upright.height()) {
      reader.setScaledSize(turned ? target.transposed() : target);
    }
  }
  QImage image;
  if (!reader.read(&image) || image.isNull()) {
    return {{}, "Obraz " + name + " jest uszkodzony albo niepełny."};
  }
  return {std::move(image), {}};
}

PictureResult ReadFileBytes(const std::filesystem::path& path, QByteArray& data) {
  const std::string name = Utf8Name(path);
  QFile file(QString::fromStdU16String(path.u16string()));
  if (!file.open(QIODevice::ReadOnly)) return {{}, "Nie mogę otworzyć pliku " + name + "."};
  if (file.size() > kMaxFileBytes) return {{}, "Plik " + name + " jest za duży na obraz."};
  data = file.readAll();
  if (file.error() != QFileDevice::NoError) return {{}, "Nie mogę odczytać pliku " + name + "."};
  return {};
}

QByteArray Unowned(std::span<const std::uint8_t> bytes) {
  return QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                 static_cast<qsizetype>(bytes.size()));
}

}  // namespace

PictureResult LoadPictureData(std::span<const std::uint8_t> bytes, const std::string& name) {
  PictureResult result = ReadPicture(Unowned(bytes), name, std::nullopt);
  if (result.Ok()) result.image.detach();  // no longer tied to `bytes`
  return result;
}

PictureResult LoadPicture(const std::filesystem::path& path) {
  QByteArray data;
  PictureResult read = ReadFileBytes(path, data);
  if (!read.Ok()) return read;
  return ReadPicture(data, Utf8Name(path), std::nullopt);
}

namespace {

// The picture at the size its placement gives it.
QImage ScaledTo(const QImage& image, QSize size) {
  QImage scaled = image;
  if (scaled.size() != size) {
    // Scaled with premultiplied alpha, so transparent pixels lend no colour.
    if (scaled.hasAlphaChannel()) scaled.convertTo(QImage::Format_ARGB32_Premultiplied);
    scaled = scaled.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  return scaled;
}

// The dots of a picture already scaled for its placement, its top-left
// corner at `offset` on the board.
DotsResult DotsOfScaled(const QImage& scaled, QPoint offset, const ConvertOptions& options) {
  // Transparency shows the unlit background.
  QImage board(kBoardWidth, kBoardHeight, QImage::Format_RGB32);
  board.fill(options.lit == LitSide::Dark ? Qt::white : Qt::black);
  {
    QPainter painter(&board);
    painter.drawImage(offset, scaled);
  }
  const QRect area = QRect(offset, scaled.size()).intersected(QRect(0, 0, kBoardWidth, kBoardHeight));
  if (area.isEmpty()) return {};
  return {DotsFromGrey(board.convertToFormat(QImage::Format_Grayscale8), area, options), {}};
}

}  // namespace

DotsResult ConvertImage(const QImage& image, const ConvertOptions& options) {
  if (image.isNull()) return {{}, "Obraz jest pusty."};
  const Placed placed = PlaceOnBoard(image.size(), options.placement);
  return DotsOfScaled(ScaledTo(image, placed.size), placed.offset, options);
}

DotsResult ConvertPictureData(std::span<const std::uint8_t> bytes, const std::string& name,
                              const ConvertOptions& options) {
  const PictureResult read = ReadPicture(Unowned(bytes), name, options.placement);
  if (!read.Ok()) return {{}, read.error};
  return ConvertImage(read.image, options);
}

DotsResult ConvertPictureFile(const std::filesystem::path& path, const ConvertOptions& options) {
  QByteArray data;
  const PictureResult file = ReadFileBytes(path, data);
  if (!file.Ok()) return {{}, file.error};
  const PictureResult read = ReadPicture(data, Utf8Name(path), options.placement);
  if (!read.Ok()) return {{}, read.error};
  return ConvertImage(read.image, options);
}

std::string PreparedPicture::Open(const std::filesystem::path& path, Placement placement) {
  QByteArray data;
  const PictureResult file = ReadFileBytes(path, data);
  if (!file.Ok()) return file.error;
  PreparedPicture opened;
  opened.data_ = std::move(data);
  opened.name_ = Utf8Name(path);
  const std::string error = opened.Prepare(placement);
  if (error.empty()) *this = std::move(opened);
  return error;
}

std::string PreparedPicture::Prepare(Placement placement) {
  if (placed_.count(placement) != 0) return {};
  const PictureResult read = ReadPicture(data_, name_, placement);
  if (!read.Ok()) return read.error;
  const Placed placed = PlaceOnBoard(read.image.size(), placement);
  // Only the part on the board is kept: drawn at the same corner it gives
  // the same dots, and a 1:1 placement does not hold the whole picture.
  const QRect visible =
      QRect(placed.offset, placed.size).intersected(QRect(0, 0, kBoardWidth, kBoardHeight));
  placed_[placement] = {ScaledTo(read.image, placed.size).copy(visible.translated(-placed.offset)),
                        visible.topLeft()};
  return {};
}

DotsResult PreparedPicture::Convert(const ConvertOptions& options) {
  if (!IsOpen()) return {};
  const std::string error = Prepare(options.placement);
  if (!error.empty()) return {{}, error};
  const OnBoard& placed = placed_.at(options.placement);
  return DotsOfScaled(placed.picture, placed.corner, options);
}

DotsResult MakeDots(const ConvertOptions& options, const std::filesystem::path& picture) {
  return options.HasText() ? RenderText(options) : ConvertPictureFile(picture, options);
}

namespace {

void KeepSerious(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg)
    std::fprintf(stderr, "%s\n", qPrintable(message));
}

}  // namespace

void PrepareHeadlessGui() {
  UseHeadlessPlatform();
  qInstallMessageHandler(KeepSerious);
}

std::vector<std::uint8_t> EncodeDotsBmp(const BoardDots& dots) {
  return EncodeBitmap(DotsToBitmap(dots));
}

namespace {

// Writes through a temporary file renamed into place at the end, so a
// failure leaves what was there before.
std::string SaveWhole(const std::filesystem::path& path, const QByteArray& bytes) {
  QSaveFile file(QString::fromStdU16String(path.u16string()));
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    return "Nie mogę zapisać pliku " + Utf8Name(path) + ".";
  }
  return {};
}

}  // namespace

std::string WriteDotsBmp(const BoardDots& dots, const std::filesystem::path& path) {
  const std::vector<std::uint8_t> bytes = EncodeDotsBmp(dots);
  return SaveWhole(path, QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                    static_cast<qsizetype>(bytes.size())));
}

QImage DrawPreview(const BoardDots& dots, int pitch) {
  return PaintDotsImage([&dots](int x, int y) { return dots.IsLit(x, y); }, pitch);
}

std::string WritePreviewPng(const BoardDots& dots, const std::filesystem::path& path, int pitch) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!DrawPreview(dots, pitch).save(&buffer, "PNG")) {
    return "Nie mogę zapisać pliku " + Utf8Name(path) + ".";
  }
  return SaveWhole(path, png);
}

}  // namespace tablica::picture
