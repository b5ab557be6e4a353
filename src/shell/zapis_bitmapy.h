#pragma once

namespace tablica {

// The program zapis-bitmapy: the main window, its port from ustaw.txt in the
// working directory, until the window closes. Takes no command line
// (`argc` is main's own, which Qt keeps). Returns the exit code.
int RunZapisBitmapy(int& argc, char** argv);

}  // namespace tablica
