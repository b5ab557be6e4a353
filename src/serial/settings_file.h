#pragma once

// Reading the settings file's bytes, the one platform call below
// LoadCommSettings: plain reading on POSIX, exclusive reading on Windows.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

namespace tablica {

// Reads up to buffer.size() bytes from the start of `file` into `buffer` and
// returns how many arrived. Returns 0, and reads nothing, when the file is
// missing, cannot be opened, or is not a regular file (a FIFO or a device in
// its place would block start-up or never end). Never creates or writes it.
std::size_t ReadSettingsFileStart(const std::filesystem::path& file,
                                  std::span<std::uint8_t> buffer);

}  // namespace tablica
