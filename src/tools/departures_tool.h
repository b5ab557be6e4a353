#pragma once

// tablica-convert --departures: the next departures of a few stops in a
// timetable feed, one JSON object a line, for a look at a feed before a
// board shows it.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/convert_tool.h"

namespace tablica::tools {

inline bool AsksForDepartures(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--departures") return true;
  }
  return false;
}

struct DeparturesCommand {
  std::string feed;  // UTF-8 path
  std::vector<std::string> stops;
  std::vector<std::string> routes;  // route ids or short names; empty: all
  std::optional<std::string> at;    // YYYY-MM-DDTHH:MM[:SS], the feed's local time
  int rows = 10;
  std::optional<std::string> realtime;  // a file or an address
  std::optional<std::string> preview;   // PODGLAD.png: the first rows as the board draws them
};

struct ParsedDeparturesCommand {
  std::optional<DeparturesCommand> command;
  bool help = false;
  std::string error;  // Polish
};

ParsedDeparturesCommand ParseDeparturesCommand(const std::vector<std::string>& args);
std::string DeparturesUsage();

// Prints the departures to `out` (one line each), messages to `error`;
// kExitWritten, kExitRefused (a refused feed) or kExitUsage.
int RunDeparturesTool(const DeparturesCommand& command, const TextOut& out, const TextOut& error);

}  // namespace tablica::tools
