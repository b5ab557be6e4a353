#pragma once

// Where COM port N lives on a system without COM ports: a symbolic link
// `comN` in a per-user folder names the device. The serial backend reads the
// links, the virtual board makes one for itself; both take the rule from here.

#include <filesystem>

namespace tablica {

// $XDG_CONFIG_HOME/zapis-bitmapy/ports (default ~/.config/zapis-bitmapy/ports).
std::filesystem::path PortLinksFolder();

// The link that names the device of port `portNumber` in `linksFolder`.
std::filesystem::path PortLinkPath(const std::filesystem::path& linksFolder, int portNumber);

}  // namespace tablica
