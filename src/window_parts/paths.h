#pragma once

// Paths between Qt's strings and the file system's, without the detour
// through the system's narrow code page (which on Windows cannot spell
// every name): UTF-16 on Windows, UTF-8 on Linux.

#include <filesystem>
#include <string>

#include <QString>

namespace tablica {

inline std::filesystem::path ToPath(const QString& text) {
  return std::filesystem::path(text.toStdU16String());
}

// The file system's own string, whichever kind the system keeps: bytes
// that are no UTF-8 become replacement characters rather than an error.
inline QString FromNativePath(const std::string& native) {
  return QString::fromStdString(native);
}
inline QString FromNativePath(const std::wstring& native) {
  return QString::fromStdWString(native);
}

inline QString ToQString(const std::filesystem::path& path) {
  return FromNativePath(path.native());
}

}  // namespace tablica
