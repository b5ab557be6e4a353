// zapis-bitmapy: writes a picture to the information board on a COM port.

#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "board/board_frame.h"
#include "serial/comm_settings.h"
#include "serial/serial_link.h"
#include "serial/serial_platform.h"
#include "shell/TZapisBitmapy.h"
#include "shell/file_chooser.h"
#include "shell/guarded_application.h"
#include "shell/guarded_call.h"
#include "shell/message_box.h"
#include "shell/window_look.h"

namespace {

// Builds the program's parts, shows the window and runs until it closes.
void RunProgram(const tablica::ShowMessageFn& showMessage,
                const tablica::ShowMessageFn& showError) {
  using namespace tablica;
  // Message boxes and the file dialog speak in the window's typeface too.
  if (LoadWindowFont()) QApplication::setFont(BodyFont());
  ChooseWindowStyle();
  CommSettings settings;
  const auto platform = MakeNativeSerialPlatform();
  SerialLink link(settings, *platform, showMessage);
  BoardFrame frame;
  DialogFileChooser fileChooser;
  TZapisBitmapy window(
      WindowServices{link, frame, fileChooser, showMessage, showError, kSettingsFileName});
  window.show();
  QApplication::exec();
  // The port is not closed here on purpose: it stays open until the
  // process ends (the link's destructor releases it with everything else).
}

}  // namespace

int main(int argc, char* argv[]) {
  const tablica::ShowMessageFn showMessage = tablica::MessageBoxFor(tablica::kApplicationTitle);
  const tablica::ShowMessageFn showError = tablica::ErrorBoxFor(tablica::kApplicationTitle);
  // Arguments on the command line change nothing: Qt sees the name alone.
  tablica::GuardedApplication application(argc > 0 ? argv[0] : nullptr, showError);
  // The file dialog's and message boxes' own labels in the user's language.
  QTranslator toolkitTexts;
  if (toolkitTexts.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&toolkitTexts);
  }
  // No application display name: Qt would add it to every other window's
  // caption (the file dialog's among them). The message boxes are given the
  // application title themselves.
  QApplication::setApplicationName(QStringLiteral("zapis-bitmapy"));
  // Lets the desktop match the window to its installed entry and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("pl.zapisbitmapy.ZapisBitmapy"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("zapis-bitmapy")));
  tablica::GuardedCall(showError, [&] { RunProgram(showMessage, showError); });
  return 0;
}
