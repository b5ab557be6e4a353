#pragma once

// Makes a pseudo-terminal answer as COM port N for this user: the link
// `comN` in $XDG_CONFIG_HOME/zapis-bitmapy/ports (default
// ~/.config/zapis-bitmapy/ports) names the device the program opens for
// port N.

#include <filesystem>
#include <optional>
#include <string>

#include "serial/port_links.h"

namespace emulator {

// The folder of the port links, from the environment: the serial code's own
// rule, so the program finds the link where the board made it. (Only where
// the device is named is shared; the bytes are checked by the board's own
// reader.)
using tablica::PortLinksFolder;

// The link, removed again when this object goes (if it still points where
// it was made to point).
class PortLink {
 public:
  // Creates `folder`/comN -> `target`. A link left behind by an emulator that
  // did not exit cleanly (pointing at a device that no longer exists) is
  // replaced; a link to a live device is not touched and the creation fails
  // with a Polish reason in `error`.
  static std::optional<PortLink> Create(const std::filesystem::path& folder, int port,
                                        const std::filesystem::path& target, std::string& error);

  PortLink(PortLink&& other) noexcept;
  PortLink& operator=(PortLink&&) = delete;
  PortLink(const PortLink&) = delete;
  ~PortLink();

  const std::filesystem::path& Path() const { return link_; }

 private:
  PortLink(std::filesystem::path link, std::filesystem::path target)
      : link_(std::move(link)), target_(std::move(target)) {}

  std::filesystem::path link_;  // empty once moved from
  std::filesystem::path target_;
};

}  // namespace emulator
