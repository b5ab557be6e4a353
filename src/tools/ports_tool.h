#pragma once

// tablica-send --porty and --przypisz N URZĄDZENIE: the machine's serial
// ports listed, and a COM number given to one of them.

#include <cstdio>
#include <string>
#include <vector>

#include "serial/port_inventory.h"

namespace tablica::tools {

// Whether the command line asks for one of these.
bool AsksForPorts(const std::vector<std::string>& args);

// Runs --porty or --przypisz with `args` (the words after the program's
// name) on the system under `roots`; the list goes to `out`, messages to
// `err`. Exit code 0, 1 on failure, 2 on a wrong command line.
int RunPortsTool(const std::vector<std::string>& args, const SystemRoots& roots, std::FILE* out,
                 std::FILE* err);

// The system's own roots (on Windows: unused).
SystemRoots NativeRoots();

}  // namespace tablica::tools
