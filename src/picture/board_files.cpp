#include "picture/board_files.h"

#include <QBuffer>

#include "board/bitmap.h"
#include "picture/convert_options.h"
#include "picture/dots_painter.h"
#include "picture/whole_files.h"

namespace tablica::picture {

std::vector<std::uint8_t> EncodeDotsBmp(const BoardDots& dots) {
  return EncodeBitmap(DotsToBitmap(dots));
}

std::string WriteDotsBmp(const BoardDots& dots, const std::filesystem::path& path) {
  const std::vector<std::uint8_t> bytes = EncodeDotsBmp(dots);
  const FileToWrite file{path, QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                          static_cast<qsizetype>(bytes.size()))};
  return WriteFilesWhole({&file, 1});
}

QImage DrawPreview(const BoardDots& dots, int pitch) {
  return PaintDotsImage([&dots](int x, int y) { return dots.IsLit(x, y); }, pitch);
}

QByteArray EncodePreviewPng(const BoardDots& dots, int pitch) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!DrawPreview(dots, pitch).save(&buffer, "PNG")) return {};
  return png;
}

std::string WritePreviewPng(const BoardDots& dots, const std::filesystem::path& path, int pitch) {
  const FileToWrite file{path, EncodePreviewPng(dots, pitch)};
  if (file.bytes.isEmpty()) return "Nie mogę zapisać pliku " + Utf8Name(path) + ".";
  return WriteFilesWhole({&file, 1});
}

}  // namespace tablica::picture
