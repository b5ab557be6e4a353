#include <QFileDialog>

#include "window_parts/file_dialogs.h"

namespace tablica {

void ChooseDialogKind(QFileDialog& dialog) {
  dialog.setOption(QFileDialog::DontUseNativeDialog);
}

}  // namespace tablica
