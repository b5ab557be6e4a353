#include "emulator/port_link.h"

#include <system_error>
#include <utility>

namespace emulator {

namespace fs = std::filesystem;

std::optional<PortLink> PortLink::Create(const fs::path& folder, int port, const fs::path& target,
                                         std::string& error) {
  if (port < 1 || port > 255) {
    error = "Numer portu musi być z zakresu 1..255, podano " + std::to_string(port) + ".";
    return std::nullopt;
  }
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) {
    error = "Nie mogę utworzyć folderu " + folder.string() + ": " + ec.message();
    return std::nullopt;
  }
  const fs::path link = tablica::PortLinkPath(folder, port);
  if (fs::is_symlink(fs::symlink_status(link, ec))) {
    if (fs::exists(link, ec)) {
      error = "Port COM" + std::to_string(port) + " jest już wskazany: " + link.string() + " -> " +
              fs::read_symlink(link, ec).string() + ". Usuń to dowiązanie albo wybierz inny port.";
      return std::nullopt;
    }
    fs::remove(link, ec);  // left by an emulator that did not exit cleanly
  } else if (fs::exists(fs::symlink_status(link, ec))) {
    error = "Nie mogę utworzyć dowiązania " + link.string() + ": plik już istnieje.";
    return std::nullopt;
  }
  fs::create_symlink(target, link, ec);
  if (ec) {
    error = "Nie mogę utworzyć dowiązania " + link.string() + ": " + ec.message();
    return std::nullopt;
  }
  return PortLink(link, target);
}

PortLink::PortLink(PortLink&& other) noexcept
    : link_(std::exchange(other.link_, {})), target_(std::move(other.target_)) {}

PortLink::~PortLink() {
  if (link_.empty()) return;
  std::error_code ec;
  // Another emulator may have taken the port over after a crash of this
  // one; its link is not ours to remove.
  if (fs::is_symlink(fs::symlink_status(link_, ec)) && fs::read_symlink(link_, ec) == target_) {
    fs::remove(link_, ec);
  }
}

}  // namespace emulator
