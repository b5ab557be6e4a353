#include "window_parts/file_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace tablica {
namespace {

// Shows `dialog`, whose kind is chosen and which is set to open or save,
// with the choice's caption, filter, suffix and proposed file; gives the
// confirmed path in the system's notation, or nothing when the user
// cancelled.
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

}  // namespace

std::optional<QString> OpenFileChooser::ChooseFile(QWidget* parent, const FileChoice& choice) {
  QFileDialog dialog(parent);
  ChooseDialogKind(dialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  // "Bitmapa (*.bmp)" shows the description; the pattern itself is matched
  // without regard to letter case (the folder filter has no CaseSensitive).
  dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
  return RunFileDialog(dialog, choice);
}

std::optional<QString> SaveFileChooser::ChooseFile(QWidget* parent, const FileChoice& choice) {
  QFileDialog dialog(parent);
  ChooseDialogKind(dialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  return RunFileDialog(dialog, choice);
}

}  // namespace tablica
