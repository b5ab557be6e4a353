#pragma once

// tablica-send: the window's Send command from a terminal or a script.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "serial/serial_link.h"
#include "serial/serial_platform.h"

namespace tablica::tools {

inline constexpr const char* kCannotOpenFile = "Nie mogę otworzyc pliku";  // + full path + "."

struct SendToolOptions {
  std::optional<std::uint8_t> port;  // unset: the port named by ustaw.txt
  bool secondBoard = false;          // --can (also implied by --second)
  std::filesystem::path first;
  std::optional<std::filesystem::path> second;
};

struct ParsedSendOptions {
  std::optional<SendToolOptions> options;
  bool help = false;
  std::string error;  // Polish, when neither options nor help
};

ParsedSendOptions ParseSendOptions(const std::vector<std::string>& args);

extern const char* const kSendUsage;

// Exit codes.
inline constexpr int kExitSent = 0;
inline constexpr int kExitFailed = 1;

// Loads the pictures, takes the port from `settingsFile` (unless one was
// given), opens it and runs the Send command. Every problem is told through
// `showMessage`, as the window would show it. Returns kExitSent only when
// every byte went out.
int RunSendTool(const SendToolOptions& options, SerialPlatform& platform,
                const ShowMessageFn& showMessage,
                const std::filesystem::path& settingsFile = kSettingsFileName);

}  // namespace tablica::tools
