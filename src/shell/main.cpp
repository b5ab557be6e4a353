// zapis-bitmapy: writes a picture to the information board on a COM port.

#include "shell/zapis_bitmapy.h"

int main(int argc, char* argv[]) {
  return tablica::RunZapisBitmapy(argc, argv);
}
