#pragma once

namespace tablica {

// The program tablica-obraz: the picture window, its port from ustaw.txt in
// the working directory, and the picture named on the command line (Qt's
// own options taken out of it first), until the window closes. `argc` is
// main's own, which Qt keeps. Returns the exit code.
int RunTablicaObraz(int& argc, char** argv);

}  // namespace tablica
