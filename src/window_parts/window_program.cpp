#include "window_parts/window_program.h"

#include <memory>

#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "window_parts/guarded_application.h"
#include "window_parts/guarded_call.h"
#include "window_parts/message_box.h"

namespace tablica {
namespace {

std::unique_ptr<GuardedApplication> MakeApplication(int& argc, char** argv,
                                                    QtCommandLine commandLine,
                                                    const char* fallbackName,
                                                    const ShowMessageFn& showError) {
  if (commandLine == QtCommandLine::Whole) {
    return std::make_unique<GuardedApplication>(argc, argv, showError);
  }
  const bool named = argc > 0 && argv[0] != nullptr && *argv[0] != '\0';
  return std::make_unique<GuardedApplication>(named ? argv[0] : fallbackName, showError);
}

}  // namespace

int RunWindowProgram(int& argc, char** argv, QtCommandLine commandLine,
                     const ProgramIdentity& identity,
                     const std::function<void(const ProgramBoxes& boxes)>& program) {
  const ProgramBoxes boxes{MessageBoxFor(identity.title), ErrorBoxFor(identity.title)};
  const auto application =
      MakeApplication(argc, argv, commandLine, identity.applicationName, boxes.showError);
  QTranslator toolkitTexts;
  if (toolkitTexts.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&toolkitTexts);
  }
  // No application display name: Qt would add it to every other window's
  // caption (the file dialog's among them). The windows and the message
  // boxes carry their titles themselves.
  QApplication::setApplicationName(QString::fromUtf8(identity.applicationName));
  // Lets the desktop match the window to its installed entry and icon.
  QGuiApplication::setDesktopFileName(QString::fromUtf8(identity.desktopFileName));
  QApplication::setWindowIcon(QIcon::fromTheme(QString::fromUtf8(identity.iconName)));
  GuardedCall(boxes.showError, [&] { program(boxes); });
  return 0;
}

}  // namespace tablica
