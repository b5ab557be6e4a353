// tablica-obraz: turns any picture or two lines of text into the board's
// dots, shows them, saves the bitmap and sends it to the board.
//
//   tablica-obraz [PICTURE]

#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QStringList>
#include <QTranslator>

#include "board/board_frame.h"
#include "obraz/obraz_window.h"
#include "obraz/save_file_chooser.h"
#include "serial/comm_settings.h"
#include "serial/serial_link.h"
#include "serial/serial_platform.h"
#include "shell/TZapisBitmapy.h"
#include "shell/file_chooser.h"
#include "shell/guarded_application.h"
#include "shell/guarded_call.h"
#include "shell/message_box.h"

namespace {

// Builds the program's parts, shows the window and runs until it closes.
void RunProgram(const QStringList& arguments, const tablica::ShowMessageFn& showMessage,
                const tablica::ShowMessageFn& showError) {
  using namespace tablica;
  CommSettings settings;
  const auto platform = MakeNativeSerialPlatform();
  SerialLink link(settings, *platform, showMessage);
  BoardFrame frame;
  DialogFileChooser openChooser;
  SaveFileChooser saveChooser;
  ObrazWindow window(ObrazServices{link, frame, openChooser, saveChooser, showMessage, showError,
                                   kSettingsFileName});
  window.show();
  if (arguments.size() > 1) window.OpenPicture(arguments.at(1));
  QApplication::exec();
}

}  // namespace

int main(int argc, char* argv[]) {
  const tablica::ShowMessageFn showMessage = tablica::MessageBoxFor(tablica::obraz_texts::kTitle);
  const tablica::ShowMessageFn showError = tablica::ErrorBoxFor(tablica::obraz_texts::kTitle);
  tablica::GuardedApplication application(argc, argv, showError);
  // The file dialogs' and message boxes' own labels in the user's language.
  QTranslator toolkitTexts;
  if (toolkitTexts.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&toolkitTexts);
  }
  QApplication::setApplicationName(QStringLiteral("tablica-obraz"));
  // No display name: Qt would add it to every caption, the file dialogs'
  // included; the window and the message boxes carry the title themselves.
  // Lets the desktop match the window to its installed entry and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("pl.zapisbitmapy.TablicaObraz"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("tablica-obraz")));
  tablica::GuardedCall(showError,
                       [&] { RunProgram(QApplication::arguments(), showMessage, showError); });
  return 0;
}
