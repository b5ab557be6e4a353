#pragma once

#include <optional>

#include <QString>

class QFileDialog;
class QWidget;

namespace tablica {

// What a window asks of a file dialog. The dialog proposes `proposedFile`
// (empty: nothing) and opens in its folder, or in the working directory
// when there is none.
struct FileChoice {
  QString title;
  QString filter;         // "Bitmapa (*.bmp)": the patterns in brackets match in any letter case
  QString defaultSuffix;  // added to a name typed without one
  QString proposedFile;
};

// The seam between a window and its file dialogs, so tests can answer them.
class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // The full path the user confirmed (it need not exist), or nothing when
  // the user cancelled.
  virtual std::optional<QString> ChooseFile(QWidget* parent, const FileChoice& choice) = 0;
};

// The modal open dialog, the system's own on Windows and Qt's own
// elsewhere. Any name is taken, the typed name of a file that does not
// exist included, and choosing one that does asks nothing.
class OpenFileChooser final : public FileChooser {
 public:
  std::optional<QString> ChooseFile(QWidget* parent, const FileChoice& choice) override;
};

// The modal save dialog, of the same kind as the open dialog: proposes a
// name, adds the suffix to a name typed without one and asks before
// replacing an existing file.
class SaveFileChooser final : public FileChooser {
 public:
  std::optional<QString> ChooseFile(QWidget* parent, const FileChoice& choice) override;
};

// Picks which dialog `dialog` shows (file_dialog_kind_*.cpp, chosen by the
// build): on Windows the system's, which users of Windows programs know; on
// Linux Qt's own, which behaves the same under every desktop.
void ChooseDialogKind(QFileDialog& dialog);

}  // namespace tablica
