#include "tools/ports_tool.h"

namespace tablica::tools {

bool AsksForPorts(const std::vector<std::string>& args) {
  return !args.empty() && (args[0] == "--porty" || args[0] == "--przypisz");
}

// Windows gives each adapter its COM number once and keeps it.
int RunPortsTool(const std::vector<std::string>&, const SystemRoots&, std::FILE*, std::FILE* err) {
  std::fputs(
      "Na Windows numer portu COM nadaje system i zachowuje go dla adaptera; "
      "sprawdzisz go i zmienisz w Menedżerze urządzeń (Porty (COM i LPT)).\n",
      err);
  return 2;
}

SystemRoots NativeRoots() {
  return {};
}

}  // namespace tablica::tools
