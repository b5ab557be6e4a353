#pragma once

// tablica-send: the window's Send command from a terminal or a script.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "board/bitmap.h"
#include "common/show_message.h"
#include "picture/convert_options.h"
#include "serial/comm_settings.h"
#include "serial/serial_platform.h"

namespace tablica::tools {

inline constexpr const char* kCannotOpenFile = "Nie mogę otworzyc pliku";  // + full path + "."

struct SendToolOptions {
  std::optional<std::uint8_t> port;  // unset: the port named by ustaw.txt
  bool secondBoard = false;          // --can (also implied by --second)
  std::filesystem::path first;       // empty with --convert --text
  std::optional<std::filesystem::path> second;
  // --convert: the pictures are any picture files (or the first is text),
  // made into the board's bitmaps by these options first.
  std::optional<picture::ConvertOptions> convert;
};

struct ParsedSendOptions {
  std::optional<SendToolOptions> options;
  bool help = false;
  std::string error;  // Polish, when neither options nor help
};

ParsedSendOptions ParseSendOptions(const std::vector<std::string>& args);

// The Polish --help text.
std::string SendUsage();

// Exit codes.
inline constexpr int kExitSent = 0;
inline constexpr int kExitFailed = 1;

// A picture made for the board by --convert: the bitmap, or the Polish
// reason there is none. `picture` is empty when the options carry text.
struct ConvertedPicture {
  Bitmap bitmap;
  std::string error;
};
using PictureConverter = std::function<ConvertedPicture(const picture::ConvertOptions& options,
                                                        const std::filesystem::path& picture)>;

// Loads the pictures (through `convert` when options.convert is set), then opens a board session
// on `platform` with the port from `settingsFile` (unless one was given) and sends them. Every
// problem is told through `showMessage`, as the window would show it. Returns kExitSent only when
// every byte went out.
int RunSendTool(const SendToolOptions& options, SerialPlatform& platform,
                const ShowMessageFn& showMessage,
                const std::filesystem::path& settingsFile = kSettingsFileName,
                const PictureConverter& convert = {});

// tablica-send with --convert: starts Qt (without a display), reads the
// command line again as Qt gives it (UTF-8 on every system) and runs the
// Send with the picture conversion. Builds without Qt say they cannot.
int RunConvertingSend(int argc, char** argv, SerialPlatform& platform,
                      const ShowMessageFn& showMessage);

// The whole program: reads the command line, prints the help or what is
// wrong with it (exit 2), and sends on the system's serial ports, with the
// messages on standard error.
int RunSendProgram(int argc, char** argv);

}  // namespace tablica::tools
