#include <fcntl.h>
#include <unistd.h>

#include "picture/file_open.h"

namespace tablica::picture {

bool OpenForReading(QFile& file, const std::filesystem::path& path, QIODevice::OpenMode mode) {
  // Without O_NONBLOCK a FIFO's open waits for a writer; once open, reads
  // block again as usual (a writer that is there is waited for).
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 ||
      !file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return false;
  }
  return true;
}

}  // namespace tablica::picture
