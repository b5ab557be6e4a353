// The settings file on POSIX: opened for reading only, if it is a regular file.

#include <cstdio>
#include <memory>
#include <system_error>

#include "serial/settings_file.h"

namespace tablica {

std::size_t ReadSettingsFileStart(const std::filesystem::path& file,
                                  std::span<std::uint8_t> buffer) {
  std::error_code notRegular;
  if (!std::filesystem::is_regular_file(file, notRegular)) return 0;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(std::fopen(file.c_str(), "rb"),
                                                         &std::fclose);
  if (!stream) return 0;
  return std::fread(buffer.data(), 1, buffer.size(), stream.get());
}

}  // namespace tablica
