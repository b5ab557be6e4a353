// tablica-send: sends a picture to the information board from a terminal.

#include <cstdio>
#include <string>
#include <vector>

#include "serial/serial_platform.h"
#include "tools/console_output.h"
#include "tools/send_tool.h"

int main(int argc, char** argv) {
  tablica::tools::PrepareConsoleOutput();
  const auto parsed =
      tablica::tools::ParseSendOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (parsed.help) {
    std::fputs(tablica::tools::SendUsage().c_str(), stdout);
    return 0;
  }
  if (!parsed.options) {
    std::fprintf(stderr, "%s\n\n%s", parsed.error.c_str(), tablica::tools::SendUsage().c_str());
    return 2;
  }
  const auto platform = tablica::MakeNativeSerialPlatform();
  const auto show = [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); };
  if (parsed.options->convert)
    return tablica::tools::RunConvertingSend(argc, argv, *platform, show);
  return tablica::tools::RunSendTool(*parsed.options, *platform, show);
}
