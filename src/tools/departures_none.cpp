// A build without live information: --departures says so.

#include "tools/departures_tool.h"

namespace tablica::tools {

std::string DeparturesUsage() {
  return "tablica-convert --departures: brak w tej wersji.\n";
}

ParsedDeparturesCommand ParseDeparturesCommand(const std::vector<std::string>&) {
  return {std::nullopt, false,
          "Ta wersja tablica-convert nie ma rozkładów jazdy (zbudowana bez libzip i protobuf)."};
}

int RunDeparturesTool(const DeparturesCommand&, const TextOut&, const TextOut&) {
  return kExitUsage;
}

}  // namespace tablica::tools
