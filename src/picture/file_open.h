#pragma once

// Opening a named file for reading, as the platform allows, without being
// held inside the open call: a FIFO that no program writes to reads as
// empty at once, instead of waiting (where not even a stop signal ends the
// wait) until some program opens it for writing.

#include <QFile>
#include <filesystem>

namespace tablica::picture {

// Opens `path` into `file` for reading, in `mode`; false when it cannot.
bool OpenForReading(QFile& file, const std::filesystem::path& path,
                    QIODevice::OpenMode mode = QIODevice::ReadOnly);

}  // namespace tablica::picture
