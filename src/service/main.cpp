// tablica-serwer: the board on the network.

#include "service/service_program.h"

int main(int argc, char** argv) {
  return tablica::service::RunServiceProgram(argc, argv);
}
