#pragma once

// What is wrong with a show, as data: where (the page, the board, the
// zone, the field) and what. Readers and drawers fill it in; the front end
// that shows it makes the sentence, naming only what its user wrote (content
// sent as one page names no page).

#include <string>
#include <string_view>

namespace tablica::show {

struct ShowError {
  int page = 0;            // 1-based; 0: the show as a whole
  bool second = false;     // on the board behind CAN
  int zone = 0;            // 1-based; 0: the board's own content
  bool otherwise = false;  // on the show's page for when no page is due
  std::string field;       // the field at fault, or empty
  // Polish. With a field: what is wrong with it, said after its name
  // ("musi być liczbą …"); without: a whole sentence.
  std::string message;

  bool Empty() const { return message.empty(); }
  friend bool operator==(const ShowError&, const ShowError&) = default;
};

// The place of a problem: page `page` (0: the show), its second board, zone
// `zone` (0: none).
ShowError PlaceOf(int page, bool second = false, int zone = 0);
// What is wrong at `place`, said in one sentence.
ShowError Problem(ShowError place, std::string sentence);

// „name”, as messages quote a field.
std::string Quoted(std::string_view name);

// "Strona 3, strefa 2: pole „speed” musi być …"; a field of the show itself
// is named under "Pokaz". Without `namePage`, the page is left out (content
// that came as one page): "Pole „speed” musi być …".
std::string Sentence(const ShowError& error, bool namePage = true);

}  // namespace tablica::show
