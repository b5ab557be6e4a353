#pragma once

#include "shell/file_chooser.h"

namespace tablica {

// The modal save dialog, of the same kind as the open dialog: proposes a
// name, adds the suffix to a name typed without one and asks before
// replacing an existing file.
class SaveFileChooser final : public FileChooser {
 public:
  std::optional<QString> ChooseFile(QWidget* parent, const FileChoice& choice) override;
};

}  // namespace tablica
