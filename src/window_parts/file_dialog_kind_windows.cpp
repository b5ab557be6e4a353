#include <QFileDialog>

#include "window_parts/file_dialogs.h"

namespace tablica {

void ChooseDialogKind(QFileDialog& dialog) {
  // The system's open dialog, which Qt shows unless told otherwise. In the
  // "any file" mode Qt does not ask it for an existing file.
  dialog.setOption(QFileDialog::DontUseNativeDialog, false);
}

}  // namespace tablica
