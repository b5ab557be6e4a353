#include "obraz/text_tab.h"

#include <QFontDatabase>
#include <QFormLayout>
#include <QLineEdit>
#include <QSpinBox>

#include "board/board_dots.h"
#include "obraz/form_parts.h"

namespace tablica {

using obraz_form::BuddyLabel;
using obraz_form::ChoiceList;
using obraz_form::ChosenValue;
using obraz_form::Text;

TextTab::TextTab(QWidget* parent) : SourceTab(parent) {
  firstLine_ = new QLineEdit;
  firstLine_->setObjectName(QStringLiteral("firstLine"));
  secondLine_ = new QLineEdit;
  secondLine_->setObjectName(QStringLiteral("secondLine"));
  font_ = new QComboBox;
  font_->setObjectName(QStringLiteral("font"));
  font_->setEditable(true);
  font_->setInsertPolicy(QComboBox::NoInsert);
  font_->addItem(Text("GNU Unifont"));  // the library's own pixel font, the default
  font_->addItems(QFontDatabase::families());
  size_ = new QSpinBox;
  size_->setObjectName(QStringLiteral("size"));
  size_->setRange(0, kBoardHeight * 2);
  size_->setSuffix(Text(" px"));
  size_->setSpecialValueText(Text("największy, jaki się mieści"));
  align_ = ChoiceList<picture::Alignment>("align", {{"do lewej", picture::Alignment::Left},
                                                    {"do środka", picture::Alignment::Centre},
                                                    {"do prawej", picture::Alignment::Right}});
  align_->setCurrentIndex(1);

  auto* form = new QFormLayout(this);
  form->addRow(BuddyLabel("Wiersz &1:", firstLine_), firstLine_);
  form->addRow(BuddyLabel("Wiersz &2:", secondLine_), secondLine_);
  form->addRow(BuddyLabel("&Czcionka:", font_), font_);
  form->addRow(BuddyLabel("&Rozmiar:", size_), size_);
  form->addRow(BuddyLabel("Wyrówn&anie:", align_), align_);

  for (QLineEdit* line : {firstLine_, secondLine_}) {
    connect(line, &QLineEdit::textChanged, this, &SourceTab::Changed);
  }
  connect(font_, &QComboBox::currentTextChanged, this, &SourceTab::Changed);
  connect(size_, &QSpinBox::valueChanged, this, &SourceTab::Changed);
  connect(align_, &QComboBox::currentIndexChanged, this, &SourceTab::Changed);
}

picture::DotsResult TextTab::MakeDots() {
  const picture::ConvertOptions options = Choices();
  // No text typed yet is a blank board.
  return options.HasText() ? picture::RenderText(options) : picture::DotsResult{};
}

picture::ConvertOptions TextTab::Choices() const {
  picture::ConvertOptions options;
  for (const QLineEdit* line : {firstLine_, secondLine_}) {
    if (!line->text().isEmpty()) options.text.push_back(line->text().toStdString());
  }
  const QString font = font_->currentText().trimmed();
  if (font != font_->itemText(0)) options.font = font.toStdString();
  if (size_->value() > 0) options.size = size_->value();
  options.align = ChosenValue<picture::Alignment>(*align_);
  return options;
}

}  // namespace tablica
