#pragma once

#include "common/show_message.h"

namespace tablica {

// Modal boxes centred on the screen, captioned with a program's title, with
// one OK button; each returns when the user has closed it. The title is
// given here rather than taken from Qt's application display name: Qt adds
// that name to the caption of every other window (the file dialog's), which
// must read exactly as it is set.
ShowMessageFn MessageBoxFor(const char* programTitle);  // no icon: the program's messages
ShowMessageFn ErrorBoxFor(const char* programTitle);    // the error icon: an escaped exception

}  // namespace tablica
