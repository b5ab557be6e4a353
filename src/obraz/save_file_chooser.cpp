#include "obraz/save_file_chooser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace tablica {

std::optional<QString> SaveFileChooser::ChooseFile(QWidget* parent, const FileChoice& choice) {
  QFileDialog dialog(parent, choice.title);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
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

}  // namespace tablica
