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

namespace {

// A parsed command line: its usage on --help, its fault and the usage when it
// is wrong, else the command run.
template <typename Parsed, typename Run>
int RunParsed(const Parsed& parsed, const std::string& usage, Run run) {
  if (parsed.help) {
    std::fputs(usage.c_str(), stdout);
    return 0;
  }
  if (!parsed.command) {
    std::fprintf(stderr, "%s\n\n%s", parsed.error.c_str(), usage.c_str());
    return kExitUsage;
  }
  return run(*parsed.command);
}

}  // namespace

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
    return RunParsed(ParseDeparturesCommand(args), DeparturesUsage(),
                     [&](const auto& command) { return RunDeparturesTool(command, out, error); });
  }
  return RunParsed(ParseConvertCommand(args), ConvertUsage(),
                   [&](const auto& command) { return RunConvertTool(command, out, error); });
}

}  // namespace tablica::tools
