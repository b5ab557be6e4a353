#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace emulator {

struct EmulatorOptions {
  int port = 0;            // 0: no COM link, only the pseudo-terminal
  bool headless = false;   // boards drawn in the terminal, no window
  bool json = false;       // one JSON object a line on standard output
  std::uint32_t baud = 0;  // 0: unpaced
  bool help = false;
};

struct ParsedOptions {
  std::optional<EmulatorOptions> options;
  std::string error;  // Polish, when options is empty
};

ParsedOptions ParseEmulatorOptions(const std::vector<std::string>& args);

extern const char* const kEmulatorUsage;

}  // namespace emulator
