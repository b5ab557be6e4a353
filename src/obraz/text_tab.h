#pragma once

#include "obraz/source_tab.h"
#include "picture/convert.h"

class QComboBox;
class QLineEdit;
class QSpinBox;

namespace tablica {

// The "Tekst" tab: two lines of text, the font (GNU Unifont, any installed
// family or a font file), the size and the alignment.
class TextTab final : public SourceTab {
  Q_OBJECT

 public:
  explicit TextTab(QWidget* parent = nullptr);

  picture::DotsResult MakeDots() override;

  // The lines, font, size and alignment as the tab shows them.
  picture::ConvertOptions Choices() const;

 private:
  QLineEdit* firstLine_ = nullptr;
  QLineEdit* secondLine_ = nullptr;
  QComboBox* font_ = nullptr;
  QSpinBox* size_ = nullptr;
  QComboBox* align_ = nullptr;
};

}  // namespace tablica
