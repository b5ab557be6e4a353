// tablica-send: sends a picture to the information board from a terminal.

#include "tools/send_tool.h"

int main(int argc, char** argv) {
  return tablica::tools::RunSendProgram(argc, argv);
}
