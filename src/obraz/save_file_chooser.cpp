#include "obraz/save_file_chooser.h"

#include <QFileDialog>

namespace tablica {

std::optional<QString> SaveFileChooser::ChooseFile(QWidget* parent, const FileChoice& choice) {
  QFileDialog dialog(parent);
  ChooseDialogKind(dialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  return RunFileDialog(dialog, choice);
}

}  // namespace tablica
