#include "obraz/stop_search.h"

namespace tablica {

StopChoices SearchStops(const std::filesystem::path& /*feed*/, const std::string& /*search*/) {
  return {{},
          "Ta wersja programu nie czyta rozkładów jazdy (zbudowano ją bez informacji na żywo): "
          "wpisz numery przystanków."};
}

}  // namespace tablica
