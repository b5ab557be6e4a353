#pragma once

// The stops of a timetable feed file found by name, for the "Pokaz" tab's
// departures; a build without live information says it cannot search.

#include <filesystem>
#include <string>
#include <vector>

namespace tablica {

struct StopChoice {
  std::string id;
  std::string line;  // what the list shows: "Dworzec Główny (stacja) – S"
};

struct StopChoices {
  std::vector<StopChoice> stops;
  std::string note;  // Polish: there were more, or why there are none
};

StopChoices SearchStops(const std::filesystem::path& feed, const std::string& search);

}  // namespace tablica
