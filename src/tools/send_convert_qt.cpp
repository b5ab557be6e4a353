// tablica-send --convert with Qt: the pictures are made by the picture
// library before the Send.

#include <QGuiApplication>

#include "picture/convert.h"
#include "tools/send_tool.h"

namespace tablica::tools {

int RunConvertingSend(int argc, char** argv, SerialPlatform& platform,
                      const ShowMessageFn& showMessage) {
  picture::PrepareHeadlessGui();
  picture::QuietDecodersOnStandardError();
  QGuiApplication app(argc, argv);
  std::vector<std::string> args;
  const QStringList words = QCoreApplication::arguments();
  for (qsizetype i = 1; i < words.size(); ++i) args.push_back(words[i].toStdString());
  const ParsedSendOptions parsed = ParseSendOptions(args);
  if (!parsed.options) {
    showMessage(parsed.error);
    return kExitFailed;
  }
  const PictureConverter convert = [](const picture::ConvertOptions& options,
                                      const std::filesystem::path& path) {
    const picture::DotsResult made = picture::MakeDots(options, path);
    if (!made.Ok()) return ConvertedPicture{{}, made.error};
    return ConvertedPicture{DotsToBitmap(made.dots), {}};
  };
  return RunSendTool(*parsed.options, platform, showMessage, kSettingsFileName, convert);
}

}  // namespace tablica::tools
