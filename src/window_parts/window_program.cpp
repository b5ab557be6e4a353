#include "window_parts/window_program.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// On Linux a window needs an X or Wayland display, and Qt without one
// aborts with a message in English; said in Polish before Qt starts. A
// platform chosen by the user (QT_QPA_PLATFORM, -platform) is taken as it is.
bool DisplayMissing(int argc, char** argv, QtCommandLine commandLine) {
#ifdef _WIN32
  (void)argc;
  (void)argv;
  (void)commandLine;
  return false;
#else
  const auto set = [](const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
  };
  if (set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM")) return false;
  if (commandLine == QtCommandLine::Whole) {
    for (int i = 1; i < argc; ++i) {
      if (std::strcmp(argv[i], "-platform") == 0) return false;
    }
  }
  return true;
#endif
}

}  // namespace

int RunWindowProgram(int& argc, char** argv, QtCommandLine commandLine,
                     const ProgramIdentity& identity,
                     const std::function<void(const ProgramBoxes& boxes)>& program) {
  if (DisplayMissing(argc, argv, commandLine)) {
    std::fprintf(stderr,
                 "%s: to okno potrzebuje ekranu, a nie ma go (nie ustawiono DISPLAY ani "
                 "WAYLAND_DISPLAY). Uruchom program w sesji graficznej.\n",
                 identity.applicationName);
    return 1;
  }
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
