#include "serial/port_links.h"

#include <cstdlib>
#include <string>

namespace tablica {

std::filesystem::path PortLinksFolder() {
  std::filesystem::path base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    base = std::filesystem::path(home) / ".config";
  } else {
    base = ".config";
  }
  return base / "zapis-bitmapy" / "ports";
}

std::filesystem::path PortLinkPath(const std::filesystem::path& linksFolder, int portNumber) {
  return linksFolder / ("com" + std::to_string(portNumber));
}

}  // namespace tablica
