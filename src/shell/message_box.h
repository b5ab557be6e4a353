#pragma once

#include <string>

#include "serial/serial_link.h"

namespace tablica {

// The program's title: the window's caption and every message box's caption.
inline constexpr const char* kApplicationTitle = "Zapis bitmapy do tablicy informacyjnej.";

// A modal box centred on the screen, captioned with the application's display
// name (kApplicationTitle in the main window's program), with no icon and one
// OK button; returns when the user has closed it.
void ShowMessageBox(const std::string& text);

// The same box with the error icon, for an exception that escaped a command.
void ShowErrorBox(const std::string& text);

}  // namespace tablica
