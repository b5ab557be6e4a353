// tablica-convert: a picture or text made into the board's bitmap.

#include <QGuiApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "picture/convert.h"
#include "tools/console_output.h"
#include "tools/convert_tool.h"
#include "tools/play_tool.h"

int main(int argc, char** argv) {
  tablica::tools::PrepareConsoleOutput();
  tablica::picture::PrepareHeadlessGui();
  tablica::picture::QuietDecodersOnStandardError();
  QGuiApplication app(argc, argv);
  if (tablica::tools::AsksToPlay(argc, argv)) return tablica::tools::RunPlayPreview();
  // Qt's own list, so that the words arrive as UTF-8 on every system.
  std::vector<std::string> args;
  const QStringList words = QCoreApplication::arguments();
  for (qsizetype i = 1; i < words.size(); ++i) args.push_back(words[i].toStdString());

  const auto parsed = tablica::tools::ParseConvertCommand(args);
  if (parsed.help) {
    std::fputs(tablica::tools::ConvertUsage().c_str(), stdout);
    return 0;
  }
  if (!parsed.command) {
    std::fprintf(stderr, "%s\n\n%s", parsed.error.c_str(), tablica::tools::ConvertUsage().c_str());
    return tablica::tools::kExitUsage;
  }
  return tablica::tools::RunConvertTool(
      *parsed.command, [](const std::string& text) { std::fputs(text.c_str(), stdout); },
      [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); });
}
