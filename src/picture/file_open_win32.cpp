#include "picture/file_open.h"

namespace tablica::picture {

bool OpenForReading(QFile& file, const std::filesystem::path& path, QIODevice::OpenMode mode) {
  file.setFileName(QString::fromStdU16String(path.u16string()));
  return file.open(mode);
}

}  // namespace tablica::picture
