#pragma once

// tablica-serwer, the whole program: reads the command line, opens the
// board's port, starts the board service, the HTTP side and (with --mqtt)
// the broker's bridge, and runs until Ctrl+C or SIGTERM, ending after the
// frame in flight.

namespace tablica::service {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

int RunServiceProgram(int argc, char** argv);

}  // namespace tablica::service
