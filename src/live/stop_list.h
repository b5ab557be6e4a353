#pragma once

// The stops of a timetable feed found by their names, for a person choosing
// which stop a board shows: the stops table streamed once, only the matches
// kept.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tablica::live {

struct FoundStop {
  std::string id;
  std::string name;
  bool station = false;  // stands for its platforms
  friend bool operator==(const FoundStop&, const FoundStop&) = default;
};

struct FoundStops {
  std::vector<FoundStop> stops;  // by name, then id
  bool more = false;             // more stops matched than were kept
  std::string error;             // Polish, when the feed could not be read
};

// The stops and stations of `feed` (a zip) whose name or id holds `search`,
// regardless of case and of the marks on letters ("lodz" finds "Łódź"), at
// most `limit` of them; an empty search finds every stop.
FoundStops FindStops(const std::filesystem::path& feed, std::string_view search,
                     std::size_t limit = 50);

}  // namespace tablica::live
