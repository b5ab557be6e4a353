#pragma once

#include <optional>

#include <QString>

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

// The real one: Qt's own modal file dialog (the same on every platform).
class DialogFileChooser final : public FileChooser {
 public:
  std::optional<QString> ChooseFile(QWidget* parent, const FileChoice& choice) override;
};

}  // namespace tablica
