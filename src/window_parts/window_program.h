#pragma once

#include <functional>

#include "common/show_message.h"

namespace tablica {

// What the desktop and the user know a window program by.
struct ProgramIdentity {
  const char* title;            // the caption of every message box
  const char* applicationName;  // Qt's name of the application
  const char* desktopFileName;  // its desktop entry, which matches the window to its icon
  const char* iconName;         // the window's icon in the icon theme
};

// Whether Qt reads the command line: a program that takes none gives Qt
// its name alone, so Qt's own options (-platform, -style, -reverse, ...)
// change nothing either.
enum class QtCommandLine { NameOnly, Whole };

// The boxes a window program speaks through.
struct ProgramBoxes {
  ShowMessageFn showMessage;  // the program's messages, no icon
  ShowMessageFn showError;    // an exception that escaped, the error icon
};

// Starts a window program: the guarded application object, Qt's own texts
// (the file dialog's and the message boxes' labels) in the user's language,
// the application's name, desktop entry and icon; then runs `program`
// (which shows the window and runs the event loop) guarded. An exception
// that escapes is shown in the error box. Returns the exit code: 0, or 1
// when there is no display to show a window on (said on standard error). Qt
// keeps `argc` by reference while the application lives: main's own.
int RunWindowProgram(int& argc, char** argv, QtCommandLine commandLine,
                     const ProgramIdentity& identity,
                     const std::function<void(const ProgramBoxes& boxes)>& program);

}  // namespace tablica
