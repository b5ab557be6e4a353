// tablica-emulator: a virtual information board on a pseudo-terminal.

#include "emulator/emulator_program.h"

int main(int argc, char** argv) {
  return emulator::RunEmulator(argc, argv);
}
