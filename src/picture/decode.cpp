#include "picture/decode.h"

#include "picture/headless_gui.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <algorithm>
#include <mutex>

#include "board/bitmap.h"
#include "picture/convert_options.h"
#include "picture/file_open.h"

namespace tablica::picture {

namespace {

FileBytes Bytes(const QByteArray& data) {
  return {reinterpret_cast<const std::uint8_t*>(data.constData()),
          static_cast<std::size_t>(data.size())};
}

std::int64_t Area(QSize size) {
  return static_cast<std::int64_t>(size.width()) * size.height();
}

std::string Damaged(const std::string& name) {
  return "Obraz " + name + " jest uszkodzony albo niepełny.";
}

std::string TooManyPixels(const std::string& name, std::int64_t width, std::int64_t height) {
  return "Obraz " + name + " ma " + std::to_string(width) + " × " + std::to_string(height) +
         " pikseli, ponad 64 megapiksele; takiego nie wczytuję.";
}

// The size a BMP header declares (Qt's reader gives none for pictures it
// finds too large), and whether its rows are all there. Qt's reader takes
// headers of any length, guessing at their fields: one not known here is
// damaged.
struct BmpFacts {
  bool known = false;
  std::int64_t width = 0;
  std::int64_t height = 0;
  int bitsPerPixel = 0;
  bool cutShort = false;
};
BmpFacts BmpFactsOf(const QByteArray& data) {
  const std::optional<BitmapHeader> header = ReadBitmapHeader(Bytes(data));
  if (!header) return {};
  return {true, header->width, header->height, header->bitsPerPixel, header->cutShort};
}

// A BMP of a colour table as Qt's reader would have made it (one byte a
// pixel, the same table), so that it converts to the same dots. An index
// past the table is black, as Qt shows it.
QImage IndexedImageOf(const Bitmap& bitmap) {
  QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_Indexed8);
  if (image.isNull()) return image;
  const int bits = bitmap.BitsPerPixel();
  const int perByte = 8 / bits;
  const int mask = (1 << bits) - 1;
  int highest = 0;
  for (int y = 0; y < bitmap.Height(); ++y) {
    const std::uint8_t* stored = bitmap.Row(y);
    uchar* row = image.scanLine(y);
    for (int x = 0; x < bitmap.Width(); ++x) {
      const int shift = 8 - bits * (x % perByte + 1);
      row[x] = static_cast<uchar>((stored[x / perByte] >> shift) & mask);
      highest = std::max<int>(highest, row[x]);
    }
  }
  QList<QRgb> table;
  for (const std::uint32_t rgb : bitmap.Palette()) table.push_back(0xFF000000u | rgb);
  while (table.size() <= highest) table.push_back(0xFF000000u);
  image.setColorTable(table);
  return image;
}

// Qt's reader leaves pixels unset where run-length data skips or ends them,
// and draws a colour index past the table from memory it never set, so
// one picture could come out as two boards. A BMP of a colour table is read
// by the board's own reader instead, which gives every pixel a colour.
// None for the other BMPs, which Qt's reader fills row by row.
std::optional<PictureResult> ReadPaletteBmp(const QByteArray& data, const std::string& name) {
  const BmpFacts bmp = BmpFactsOf(data);
  if (!bmp.known || bmp.bitsPerPixel > 8) return std::nullopt;
  BitmapLoadResult read = ReadBitmap(Bytes(data), BitmapUse::Picture);
  QImage image = read.Ok() ? IndexedImageOf(read.bitmap) : QImage();
  if (image.isNull()) return PictureResult{{}, Damaged(name)};
  return PictureResult{std::move(image), {}};
}

}  // namespace

std::string ReadPictureFile(const std::filesystem::path& path, QByteArray& data) {
  const std::string name = Utf8Name(path);
  QFile file;
  if (!OpenForReading(file, path, QIODevice::ReadOnly | QIODevice::Unbuffered)) {
    return "Nie mogę otworzyć pliku " + name + ".";
  }
  const std::string tooLarge = "Plik " + name + " jest za duży na obraz.";
  if (!file.isSequential() && file.size() > kMaxPictureFileBytes) return tooLarge;
  // Read in pieces up to one byte past the limit: a device or a pipe that
  // never ends is refused once it has given more than any picture may be.
  // A regular file's bytes go into one block of its size.
  QByteArray read;
  if (!file.isSequential()) read.reserve(static_cast<qsizetype>(file.size()) + 1);
  constexpr qint64 kPiece = 1 << 20;
  while (read.size() <= kMaxPictureFileBytes) {
    const qint64 room = read.capacity() - read.size();
    const qint64 want =
        std::min({kPiece, room > 0 ? room : kPiece, kMaxPictureFileBytes + 1 - read.size()});
    const qsizetype before = read.size();
    read.resize(before + static_cast<qsizetype>(want));
    const qint64 got = file.read(read.data() + before, want);
    if (got < 0) return "Nie mogę odczytać pliku " + name + ".";
    read.resize(before + static_cast<qsizetype>(got));
    if (got == 0) break;
  }
  if (read.size() > kMaxPictureFileBytes) return tooLarge;
  data = std::move(read);
  return {};
}

PictureCheck CheckPicture(const QByteArray& data, const std::string& name) {
  PictureCheck check;
  // The PNG library prints its own complaints while Qt only asks for the
  // size: a PNG is walked before Qt's reader sees it.
  if (data.startsWith("\x89PNG\r\n\x1a\n") && !PngIsWhole(Bytes(data))) {
    check.format = "png";
    check.error = Damaged(name);
    return check;
  }
  QByteArray bytes = data;  // shared, not copied
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  const DecoderQuiet quiet;  // reading the header may already make them talk
  QImageReader reader(&buffer);
  check.format = reader.format();
  if (check.format.isEmpty() || !reader.canRead()) {
    check.error = "Plik " + name + " nie jest obrazem, który umiem odczytać.";
    return check;
  }
  check.size = reader.size();
  check.frames = std::max(0, reader.imageCount());
  // The largest area the decoder will have to hold, as the file declares it.
  std::int64_t width = check.size.isValid() ? check.size.width() : 0;
  std::int64_t height = check.size.isValid() ? check.size.height() : 0;
  bool whole = true;
  if (check.format == "bmp") {
    const BmpFacts bmp = BmpFactsOf(bytes);
    if (!check.size.isValid() && bmp.width > 0 && bmp.height > 0) {
      width = bmp.width;
      height = bmp.height;
    }
    whole = bmp.known && !bmp.cutShort;
  } else if (check.format == "gif") {
    // Qt's reader gives the first frame's size but draws every frame on a
    // canvas of the logical screen's size.
    const std::optional<GifLayout> gif = WalkGif(Bytes(bytes));
    whole = gif && gif->complete;
    if (gif) {
      check.frames = gif->frames;
      for (const QSize size : {gif->screen, gif->largestFrame}) {
        if (Area(size) > width * height) width = size.width(), height = size.height();
      }
    }
  } else if (check.format == "jpeg" || check.format == "jpg") {
    whole = JpegHasEnd(Bytes(bytes));
  }
  check.framePixels = width * height;
  if (width * height > kMaxPicturePixels) {
    check.error = TooManyPixels(name, width, height);
  } else if (!whole) {
    check.error = Damaged(name);
  }
  return check;
}

PictureFrames::PictureFrames() = default;
PictureFrames::~PictureFrames() = default;

std::string PictureFrames::Open(const QByteArray& data, const std::string& name) {
  reader_.reset();
  buffer_.reset();
  data_ = data;
  name_ = name;
  check_ = CheckPicture(data_, name_);
  if (!check_.Ok()) return check_.error;
  ownFrame_.reset();
  if (check_.format == "bmp") {
    ownFrame_ = ReadPaletteBmp(data_, name_);
    if (ownFrame_ && !ownFrame_->Ok()) return check_.error = ownFrame_->error;
    if (ownFrame_) check_.frames = 1;
  }
  // One setting for the whole process, made once: readers on several
  // threads never write it at the same time.
  static std::once_flag ceiling;
  std::call_once(ceiling, [] { QImageReader::setAllocationLimit(kDecodeLimitMb); });
  buffer_ = std::make_unique<QBuffer>(&data_);
  buffer_->open(QIODevice::ReadOnly);
  reader_ = std::make_unique<QImageReader>(buffer_.get(), check_.format);
  reader_->setAutoTransform(true);
  return {};
}

QImageReader& PictureFrames::Reader() {
  return *reader_;
}

PictureResult PictureFrames::ReadFrame() {
  if (!reader_) return {{}, check_.Ok() ? Damaged(name_) : check_.error};
  if (ownFrame_) {
    // One frame, handed out once; a BMP holds no more.
    PictureResult frame = std::move(*ownFrame_);
    ownFrame_ = PictureResult{{}, Damaged(name_)};
    return frame;
  }
  QImage image;
  bool read = false;
  {
    const DecoderQuiet quiet;
    read = reader_->read(&image);
  }
  if (!read || image.isNull()) return {{}, Damaged(name_)};
  return {std::move(image), {}};
}

PictureResult DecodePicture(const QByteArray& data, const std::string& name,
                            const std::function<QSize(QSize)>& sizeOnBoard) {
  PictureFrames frames;
  if (std::string error = frames.Open(data, name); !error.empty()) return {{}, std::move(error)};
  QImageReader& reader = frames.Reader();
  const QSize stored = frames.Check().size;
  if (sizeOnBoard && stored.isValid() && reader.supportsOption(QImageIOHandler::ScaledSize)) {
    const bool turned = reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    const QSize upright = turned ? stored.transposed() : stored;
    const QSize target = sizeOnBoard(upright);
    if (target.width() < upright.width() && target.height() < upright.height()) {
      reader.setScaledSize(turned ? target.transposed() : target);
    }
  }
  return frames.ReadFrame();
}

namespace {

QByteArray Unowned(std::span<const std::uint8_t> bytes) {
  return QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                 static_cast<qsizetype>(bytes.size()));
}

}  // namespace

PictureResult LoadPictureData(std::span<const std::uint8_t> bytes, const std::string& name) {
  PictureResult result = DecodePicture(Unowned(bytes), name);
  if (result.Ok()) result.image.detach();  // no longer tied to `bytes`
  return result;
}

PictureResult LoadPicture(const std::filesystem::path& path) {
  QByteArray data;
  if (std::string error = ReadPictureFile(path, data); !error.empty()) return {{}, error};
  return DecodePicture(data, Utf8Name(path));
}

}  // namespace tablica::picture
