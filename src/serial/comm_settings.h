#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tablica {

// The byte that means "no port chosen". Read as a signed byte it is -1.
inline constexpr std::uint8_t kNoPort = 255;

// A port number asked for on a command line (--port 7): 1..254, since 255
// is the settings' "no port" and cannot be asked for; or the Polish reason
// it is not one.
struct PortArgument {
  std::optional<std::uint8_t> port;
  std::string error;
};
PortArgument ReadPortArgument(std::string_view text);

// Values with which every port is opened. Only the port number ever changes
// after LoadCommSettings; the rest keep their defaults for the whole run.
struct CommSettings {
  std::uint8_t portNumber = kNoPort;  // 1..64: COM1..COM64; 255: none
  std::uint32_t baudRate = 38400;
  std::uint8_t byteSize = 8;
  std::uint8_t parity = 0;    // DCB parity code, 0 = none
  std::uint8_t stopBits = 0;  // DCB stop-bit code, 0 = one stop bit
  std::uint8_t xonXoff = 0;   // non-zero = software flow control
  std::uint8_t rtsCts = 0;    // non-zero = hardware flow control
  // A port asked for by its number on a command line is named as asked
  // (201 is COM201), not through the signed byte the settings file uses.
  bool wholePortNumber = false;
};

// Every reader of the port number takes it as a signed byte: 255 is -1,
// 200 is -56 (and names "COM-56").
inline int SignedPortNumber(std::uint8_t port) {
  return static_cast<std::int8_t>(port);
}

// The number a port is named by: signed, or whole for a port asked for
// on a command line.
inline int ShownPortNumber(std::uint8_t port, bool wholeNumber) {
  return wholeNumber ? port : SignedPortNumber(port);
}

// Only this many bytes of the settings file are ever looked at.
inline constexpr std::size_t kSettingsReadLimit = 200;

// The settings file's name, relative to the working directory.
inline constexpr const char* kSettingsFileName = "ustaw.txt";

// Scans the settings text (label word of up to 10 characters, then a
// decimal number) and returns the port number it gives, or nothing when no
// number is found. Looks at no more than kSettingsReadLimit bytes and stops
// at the first zero byte.
std::optional<std::uint8_t> ScanPortNumber(std::span<const std::uint8_t> text);

// Resets `settings` to the defaults, then takes the port number from the
// settings file if it can be read. Never fails, never shows anything, never
// creates or writes the file.
void LoadCommSettings(CommSettings& settings,
                      const std::filesystem::path& file = kSettingsFileName);

}  // namespace tablica
