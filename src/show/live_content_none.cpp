// A build without live information: shows naming live content are refused
// when read, so nothing here is ever drawn.

#include "show/live_content.h"

namespace tablica::show {

bool LiveContentBuilt() {
  return false;
}

std::unique_ptr<BoardContent> MakeLiveContent(const ContentModel&, const QDateTime&,
                                              std::string& error) {
  error = "Ta wersja programu nie pokazuje informacji na żywo (rozkładów jazdy i danych z sieci).";
  return nullptr;
}

}  // namespace tablica::show
