// tablica-obraz: turns any picture or two lines of text into the board's
// dots, shows them, saves the bitmap and sends it to the board.
//
//   tablica-obraz [PICTURE]

#include "obraz/tablica_obraz.h"

int main(int argc, char* argv[]) {
  return tablica::RunTablicaObraz(argc, argv);
}
