#include <QFileDialog>

#include "shell/file_chooser.h"

namespace tablica {

void ChooseDialogKind(QFileDialog& dialog) {
  dialog.setOption(QFileDialog::DontUseNativeDialog);
}

}  // namespace tablica
