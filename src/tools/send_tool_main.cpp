// tablica-send's program: the command line read, then the Send on the
// system's serial ports.

#include <cstdio>
#include <string>
#include <vector>

#include "common/console_output.h"
#include "serial/serial_platform.h"
#include "tools/play_tool.h"
#include "tools/ports_tool.h"
#include "tools/send_tool.h"

namespace tablica::tools {

int RunSendProgram(int argc, char** argv) {
  PrepareConsoleOutput();
  if (AsksToPlay(argc, argv)) return RunPlaySend(argc, argv);
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (AsksForPorts(args)) return RunPortsTool(args, NativeRoots(), stdout, stderr);
  const auto parsed = ParseSendOptions(args);
  if (parsed.help) {
    std::fputs(SendUsage().c_str(), stdout);
    return 0;
  }
  if (!parsed.options) {
    std::fprintf(stderr, "%s\n\n%s", parsed.error.c_str(), SendUsage().c_str());
    return 2;
  }
  const auto platform = MakeNativeSerialPlatform();
  const auto show = [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); };
  if (parsed.options->convert) return RunConvertingSend(argc, argv, *platform, show);
  return RunSendTool(*parsed.options, *platform, show);
}

}  // namespace tablica::tools
