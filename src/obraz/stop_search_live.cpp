#include "live/stop_list.h"
#include "obraz/stop_search.h"

namespace tablica {

namespace {

constexpr std::size_t kShown = 50;

}  // namespace

StopChoices SearchStops(const std::filesystem::path& feed, const std::string& search) {
  const live::FoundStops found = live::FindStops(feed, search, kShown);
  StopChoices choices;
  if (!found.error.empty()) {
    choices.note = found.error;
    return choices;
  }
  for (const live::FoundStop& stop : found.stops) {
    choices.stops.push_back(
        {stop.id,
         stop.name + (stop.station ? " (stacja ze wszystkimi peronami)" : "") + " – " + stop.id});
  }
  if (found.stops.empty()) {
    choices.note = "Żaden przystanek tego rozkładu nie ma w nazwie „" + search + "”.";
  } else if (found.more) {
    choices.note = "Pokazano pierwsze " + std::to_string(kShown) +
                   " pasujące przystanki: wpisz więcej liter nazwy.";
  }
  return choices;
}

}  // namespace tablica
