#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "serial/port_links.h"

namespace tablica {

// The port number a device name ("COM7", "\\.\COM12") stands for, or nothing
// for a name of another shape.
std::optional<int> PortNumberFromDeviceName(const std::string& deviceName);

// The device path of port N: the `comN` link when there is one, else
// /dev/ttyS<N-1>; nothing for N below 1 without a link.
std::optional<std::filesystem::path> ResolvePortDevice(int portNumber,
                                                       const std::filesystem::path& linksFolder);

}  // namespace tablica
