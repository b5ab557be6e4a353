// A picture's road to the board's dots: read (decode.cpp), placed and
// scaled (placement.cpp), made into dots (dots.cpp).

#include "picture/convert.h"

namespace tablica::picture {

namespace {

// The first frame, decoded straight at its size on the board where the
// format can.
PictureResult DecodeFor(const QByteArray& data, const std::string& name, Placement placement,
                        QSize area = QSize(kBoardWidth, kBoardHeight)) {
  if (placement == Placement::None) return DecodePicture(data, name);
  return DecodePicture(data, name, [placement, area](QSize upright) {
    return PlaceOnBoard(upright, placement, area).size;
  });
}

QSize AreaOf(const ConvertOptions& options) {
  return {options.width, options.height};
}

QByteArray Unowned(std::span<const std::uint8_t> bytes) {
  return QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                 static_cast<qsizetype>(bytes.size()));
}

}  // namespace

DotsResult ConvertImage(const QImage& image, const ConvertOptions& options) {
  const OnBoard placed = PlaceImage(image, options.placement, AreaOf(options));
  if (!placed.Ok()) return {{}, placed.error};
  return {DotsOnBoard(placed, options), {}};
}

DotsResult ConvertPictureData(std::span<const std::uint8_t> bytes, const std::string& name,
                              const ConvertOptions& options) {
  const PictureResult read = DecodeFor(Unowned(bytes), name, options.placement, AreaOf(options));
  if (!read.Ok()) return {{}, read.error};
  return ConvertImage(read.image, options);
}

DotsResult ConvertPictureFile(const std::filesystem::path& path, const ConvertOptions& options) {
  QByteArray data;
  if (std::string error = ReadPictureFile(path, data); !error.empty()) return {{}, error};
  const PictureResult read = DecodeFor(data, Utf8Name(path), options.placement, AreaOf(options));
  if (!read.Ok()) return {{}, read.error};
  return ConvertImage(read.image, options);
}

std::string PreparedPicture::Open(const std::filesystem::path& path, Placement placement) {
  QByteArray data;
  if (std::string error = ReadPictureFile(path, data); !error.empty()) return error;
  PreparedPicture opened;
  opened.data_ = std::move(data);
  opened.name_ = Utf8Name(path);
  const std::string error = opened.Prepare(placement);
  if (error.empty()) *this = std::move(opened);
  return error;
}

std::string PreparedPicture::Prepare(Placement placement) {
  if (placed_.count(placement) != 0) return {};
  const PictureResult read = DecodeFor(data_, name_, placement);
  if (!read.Ok()) return read.error;
  OnBoard placed = PlaceImage(read.image, placement);
  if (!placed.Ok()) return placed.error;
  placed_[placement] = std::move(placed);
  return {};
}

DotsResult PreparedPicture::Convert(const ConvertOptions& options) {
  if (!IsOpen()) return {};
  const std::string error = Prepare(options.placement);
  if (!error.empty()) return {{}, error};
  return {DotsOnBoard(placed_.at(options.placement), options), {}};
}

DotsResult MakeDots(const ConvertOptions& options, const std::filesystem::path& picture) {
  return options.HasText() ? RenderText(options) : ConvertPictureFile(picture, options);
}

}  // namespace tablica::picture
