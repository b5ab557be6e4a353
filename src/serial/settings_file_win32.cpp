// The settings file on Windows: opened with CreateFileA for reading and with
// no sharing (share mode 0), so a file that another program holds open, for
// whatever purpose, cannot be opened and counts as missing.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

#include "serial/settings_file.h"

namespace tablica {
namespace {

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (IsOpen()) CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

// The name in the system's ANSI code page, as CreateFileA takes it; nothing
// for a name that code page cannot hold.
bool AnsiName(const std::filesystem::path& file, std::string& name) {
  try {
    name = file.string();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

std::size_t ReadSettingsFileStart(const std::filesystem::path& file,
                                  std::span<std::uint8_t> buffer) {
  std::string name;
  if (!AnsiName(file, name)) return 0;
  // A folder cannot be opened this way (that needs FILE_FLAG_BACKUP_SEMANTICS).
  const FileHandle handle(CreateFileA(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle.IsOpen()) return 0;
  // A device or a pipe under that name is not read either.
  if (GetFileType(handle.Get()) != FILE_TYPE_DISK) return 0;
  std::size_t got = 0;
  while (got < buffer.size()) {
    DWORD read = 0;
    const auto wanted = static_cast<DWORD>(buffer.size() - got);
    if (!ReadFile(handle.Get(), buffer.data() + got, wanted, &read, nullptr) || read == 0) break;
    got += read;
  }
  return got;
}

}  // namespace tablica
