#include "obraz/picture_tab.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "obraz/form_parts.h"
#include "window_parts/paths.h"

namespace tablica {

using obraz_form::BuddyLabel;
using obraz_form::ChoiceList;
using obraz_form::ChosenValue;
using obraz_form::Text;

PictureTab::PictureTab(QWidget* parent) : SourceTab(parent) {
  auto* open = new QPushButton(Text("&Otwórz obraz…"));
  open->setObjectName(QStringLiteral("openButton"));
  connect(open, &QPushButton::clicked, this, &PictureTab::OpenRequested);
  open->setShortcut(QKeySequence());  // the window's own Alt+O presses it
  open->setAutoDefault(false);
  pictureName_ = new QLabel(Text("(nie wybrano obrazu; można go też upuścić na okno)"));
  pictureName_->setObjectName(QStringLiteral("pictureName"));
  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(open);
  fileRow->addWidget(pictureName_, 1);

  placement_ = ChoiceList<picture::Placement>(
      "placement", {{"dopasuj: cały obraz, proporcje zachowane", picture::Placement::Fit},
                    {"wypełnij: cała tablica, nadmiar przycięty", picture::Placement::Fill},
                    {"rozciągnij na całą tablicę", picture::Placement::Stretch},
                    {"bez skalowania (1:1 od lewego górnego rogu)", picture::Placement::None}});
  dotsMethod_ = ChoiceList<DotsChoice>(
      "dotsMethod", {{"próg automatyczny (z histogramu)", DotsChoice::AutoThreshold},
                     {"próg na poziomie", DotsChoice::Threshold},
                     {"rozpraszanie błędu (Floyd–Steinberg)", DotsChoice::Diffusion},
                     {"wzór uporządkowany (macierz Bayera)", DotsChoice::Ordered}});
  level_ = new QSlider(Qt::Horizontal);
  level_->setObjectName(QStringLiteral("level"));
  level_->setRange(0, 255);
  level_->setValue(128);
  level_->setPageStep(16);
  level_->setEnabled(false);  // only for "próg na poziomie"
  levelValue_ = new QLabel(QString::number(level_->value()));
  levelValue_->setMinimumWidth(levelValue_->fontMetrics().horizontalAdvance(QStringLiteral("000")));
  auto* levelRow = new QHBoxLayout;
  levelRow->addWidget(level_, 1);
  levelRow->addWidget(levelValue_);
  lit_ = ChoiceList<picture::LitSide>(
      "lit", {{"ciemne części obrazu (jak na bitmapach)", picture::LitSide::Dark},
              {"jasne części obrazu (zdjęcia, jasne na ciemnym)", picture::LitSide::Bright}});

  auto* form = new QFormLayout;
  form->addRow(BuddyLabel("&Umieszczenie:", placement_), placement_);
  form->addRow(BuddyLabel("Pu&nkty:", dotsMethod_), dotsMethod_);
  form->addRow(BuddyLabel("Pozio&m progu:", level_), levelRow);
  form->addRow(BuddyLabel("Świ&ecą:", lit_), lit_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fileRow);
  layout->addLayout(form);
  layout->addStretch(1);

  for (QComboBox* list : {placement_, lit_}) {
    connect(list, &QComboBox::currentIndexChanged, this, &SourceTab::Changed);
  }
  connect(dotsMethod_, &QComboBox::currentIndexChanged, this, [this] {
    level_->setEnabled(ChosenValue<DotsChoice>(*dotsMethod_) == DotsChoice::Threshold);
    emit Changed();
  });
  connect(level_, &QSlider::valueChanged, this, [this](int value) {
    levelValue_->setNum(value);
    emit Changed();
  });
}

std::string PictureTab::Open(const QString& path) {
  std::string refusal = picture_.Open(ToPath(path), ChosenValue<picture::Placement>(*placement_));
  if (refusal.empty()) {
    pictureName_->setText(path);
    path_ = ToPath(path);
  }
  return refusal;
}

picture::DotsResult PictureTab::MakeDots() {
  // No picture opened yet is a blank board.
  return picture_.Convert(Choices());
}

picture::ConvertOptions PictureTab::Choices() const {
  picture::ConvertOptions options;
  options.placement = ChosenValue<picture::Placement>(*placement_);
  switch (ChosenValue<DotsChoice>(*dotsMethod_)) {
    case DotsChoice::AutoThreshold:
      options.dots = picture::DotsMethod::Threshold;
      break;
    case DotsChoice::Threshold:
      options.dots = picture::DotsMethod::Threshold;
      options.level = level_->value();
      break;
    case DotsChoice::Diffusion:
      options.dots = picture::DotsMethod::Diffusion;
      break;
    case DotsChoice::Ordered:
      options.dots = picture::DotsMethod::Ordered;
      break;
  }
  options.lit = ChosenValue<picture::LitSide>(*lit_);
  return options;
}

}  // namespace tablica
