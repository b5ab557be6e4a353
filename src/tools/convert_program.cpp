// tablica-convert's program: Qt started without a display, the command
// line read as Qt gives it, then the conversion (or a show's preview).

#include <QGuiApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "common/console_output.h"
#include "picture/convert.h"
#include "tools/convert_tool.h"
#include "tools/departures_tool.h"
#include "tools/play_tool.h"

namespace tablica::tools {

int RunConvertProgram(int argc, char** argv) {
  PrepareConsoleOutput();
  picture::PrepareHeadlessGui();
  picture::QuietDecodersOnStandardError();
  QGuiApplication app(argc, argv);
  if (AsksToPlay(argc, argv)) return RunPlayPreview();
  // Qt's own list, so that the words arrive as UTF-8 on every system.
  std::vector<std::string> args;
  const QStringList words = QCoreApplication::arguments();
  for (qsizetype i = 1; i < words.size(); ++i) args.push_back(words[i].toStdString());
  const TextOut out = [](const std::string& text) { std::fputs(text.c_str(), stdout); };
  const TextOut error = [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); };
  if (AsksForDepartures(argc, argv)) {
    const auto departures = ParseDeparturesCommand(args);
    if (departures.help) {
      std::fputs(DeparturesUsage().c_str(), stdout);
      return 0;
    }
    if (!departures.command) {
      std::fprintf(stderr, "%s\n\n%s", departures.error.c_str(), DeparturesUsage().c_str());
      return kExitUsage;
    }
    return RunDeparturesTool(*departures.command, out, error);
  }

  const auto parsed = ParseConvertCommand(args);
  if (parsed.help) {
    std::fputs(ConvertUsage().c_str(), stdout);
    return 0;
  }
  if (!parsed.command) {
    std::fprintf(stderr, "%s\n\n%s", parsed.error.c_str(), ConvertUsage().c_str());
    return kExitUsage;
  }
  return RunConvertTool(*parsed.command, out, error);
}

}  // namespace tablica::tools
