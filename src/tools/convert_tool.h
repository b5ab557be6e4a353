#pragma once

// tablica-convert: any picture or text made into the board's one-bit
// 128 x 32 bitmap, with a preview of the dots.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "picture/convert_options.h"

namespace tablica::tools {

struct ConvertCommand {
  picture::ConvertOptions options;
  std::optional<std::filesystem::path> input;  // unset with --text
  std::filesystem::path output;
  std::optional<std::filesystem::path> preview;  // --preview PODGLAD.png
  bool show = false;                             // --show: the dots in the terminal
};

struct ParsedConvertCommand {
  std::optional<ConvertCommand> command;
  bool help = false;
  std::string error;  // Polish, when neither command nor help
};

// Words after the program's name, UTF-8.
ParsedConvertCommand ParseConvertCommand(const std::vector<std::string>& args);

// The Polish --help text.
std::string ConvertUsage();

inline constexpr int kExitWritten = 0;
inline constexpr int kExitRefused = 1;
inline constexpr int kExitUsage = 2;

using TextOut = std::function<void(const std::string&)>;

// Makes the dots (needs a QGuiApplication) and writes the bitmap and the
// preview, both or neither; --show's drawing goes to `out`, messages to
// `error`. Returns kExitWritten only when they were written; a refused
// input, an input named again as an output, or an output that is not a
// regular file writes nothing.
int RunConvertTool(const ConvertCommand& command, const TextOut& out, const TextOut& error);

// The whole program: Qt without a display, the command line, the
// conversion (or a show's preview); returns the exit code.
int RunConvertProgram(int argc, char** argv);

}  // namespace tablica::tools
