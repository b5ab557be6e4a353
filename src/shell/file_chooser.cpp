#include "shell/file_chooser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace tablica {

std::optional<QString> RunFileDialog(QFileDialog& dialog, const FileChoice& choice) {
  dialog.setWindowTitle(choice.title);
  dialog.setNameFilter(choice.filter);
  dialog.setDefaultSuffix(choice.defaultSuffix);
  if (choice.proposedFile.isEmpty()) {
    dialog.setDirectory(QDir::currentPath());
  } else {
    const QFileInfo proposed(choice.proposedFile);
    dialog.setDirectory(proposed.absolutePath());
    dialog.selectFile(proposed.fileName());
  }
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(QFileInfo(files.front()).absoluteFilePath());
}

std::optional<QString> DialogFileChooser::ChooseFile(QWidget* parent, const FileChoice& choice) {
  QFileDialog dialog(parent);
  ChooseDialogKind(dialog);
  // Any name is taken, also the typed name of a file that does not exist
  // yet; choosing a file that does exist asks nothing either.
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  // "Bitmapa (*.bmp)" shows the description; the pattern itself is matched
  // without regard to letter case (the folder filter has no CaseSensitive).
  dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
  return RunFileDialog(dialog, choice);
}

}  // namespace tablica
