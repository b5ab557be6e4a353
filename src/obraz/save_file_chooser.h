#pragma once

#include "shell/file_chooser.h"

namespace tablica {

// Qt's own modal save dialog: proposes a name, adds the suffix to a name
// typed without one and asks before replacing an existing file.
class SaveFileChooser final : public FileChooser {
 public:
  std::optional<QString> ChooseFile(QWidget* parent, const FileChoice& choice) override;
};

}  // namespace tablica
