#pragma once

#include <optional>

#include <QString>

class QFileDialog;
class QWidget;

namespace tablica {

// What the window asks of a file-open dialog. The dialog proposes
// `proposedFile` (empty: nothing) and opens in its folder, or in the working
// directory when there is none.
struct FileChoice {
  QString title;
  QString filter;         // "Bitmapa (*.bmp)": the patterns in brackets match in any letter case
  QString defaultSuffix;  // added to a name typed without one
  QString proposedFile;
};

// The seam between the window and the file dialog, so tests can answer it.
class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // The full path the user confirmed (it need not exist), or nothing when
  // the user cancelled.
  virtual std::optional<QString> ChooseFile(QWidget* parent, const FileChoice& choice) = 0;
};

// The real one: a modal file dialog, the system's own on Windows and Qt's
// own elsewhere.
class DialogFileChooser final : public FileChooser {
 public:
  std::optional<QString> ChooseFile(QWidget* parent, const FileChoice& choice) override;
};

// Picks which dialog `dialog` shows (file_dialog_kind_*.cpp, chosen by the
// build): on Windows the system's, which users of Windows programs know; on
// Linux Qt's own, which behaves the same under every desktop.
void ChooseDialogKind(QFileDialog& dialog);

// Shows `dialog`, whose kind is chosen and which is set to open or save, with the choice's caption,
// filter, suffix and proposed file; gives the confirmed path in the
// system's notation, or nothing when the user cancelled.
std::optional<QString> RunFileDialog(QFileDialog& dialog, const FileChoice& choice);

}  // namespace tablica
