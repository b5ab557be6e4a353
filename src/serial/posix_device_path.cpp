#include "serial/posix_device_path.h"

#include <charconv>
#include <string_view>
#include <system_error>

namespace tablica {

std::optional<int> PortNumberFromDeviceName(const std::string& deviceName) {
  std::string_view name = deviceName;
  if (name.starts_with("\\\\.\\")) name.remove_prefix(4);
  if (!name.starts_with("COM")) return std::nullopt;
  name.remove_prefix(3);
  int number = 0;
  const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), number);
  if (error != std::errc() || end != name.data() + name.size()) return std::nullopt;
  return number;
}

std::optional<std::filesystem::path> ResolvePortDevice(int portNumber,
                                                       const std::filesystem::path& linksFolder) {
  const auto link = PortLinkPath(linksFolder, portNumber);
  std::error_code ignored;
  if (std::filesystem::is_symlink(link, ignored) || std::filesystem::exists(link, ignored)) {
    return link;
  }
  if (portNumber < 1) return std::nullopt;
  return std::filesystem::path("/dev/ttyS" + std::to_string(portNumber - 1));
}

}  // namespace tablica
