// tablica-convert: a picture or text made into the board's bitmap.

#include "tools/convert_tool.h"

int main(int argc, char** argv) {
  return tablica::tools::RunConvertProgram(argc, argv);
}
