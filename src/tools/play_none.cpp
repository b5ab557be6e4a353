// Builds without the picture library (Qt Gui) cannot draw shows.

#include <cstdio>

#include "tools/play_tool.h"

namespace tablica::tools {

int RunPlaySend(int, char**) {
  std::fprintf(stderr, "Ta kompilacja tablica-send nie umie odtwarzać pokazów (--play).\n");
  return 1;
}

}  // namespace tablica::tools
