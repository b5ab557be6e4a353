#include "show/show_error.h"

namespace tablica::show {

ShowError PlaceOf(int page, bool second, int zone) {
  ShowError place;
  place.page = page;
  place.second = second;
  place.zone = zone;
  return place;
}

ShowError Problem(ShowError place, std::string sentence) {
  place.message = std::move(sentence);
  return place;
}

std::string Quoted(std::string_view name) {
  return "„" + std::string(name) + "”";
}

std::string Sentence(const ShowError& error, bool namePage) {
  std::string place;
  // Each part of the place in the form it takes first or after a comma.
  const auto add = [&place](std::string_view first, std::string_view later,
                            const std::string& rest) {
    place += place.empty() ? std::string(first) : ", " + std::string(later);
    place += rest;
  };
  if (error.page > 0 && namePage) add("Strona ", "strona ", std::to_string(error.page));
  if (error.otherwise) add("Strona " + Quoted("otherwise"), "strona " + Quoted("otherwise"), "");
  if (error.page == 0 && !error.otherwise && !error.field.empty() && !error.second &&
      error.zone == 0) {
    add("Pokaz", "pokaz", "");
  }
  if (error.second) add("Druga tablica", "druga tablica", "");
  if (error.zone > 0) add("Strefa ", "strefa ", std::to_string(error.zone));
  std::string body = error.message;
  if (!error.field.empty()) {
    body = (place.empty() ? "Pole " : "pole ") + Quoted(error.field) + " " + error.message;
  }
  return place.empty() ? body : place + ": " + body;
}

}  // namespace tablica::show
