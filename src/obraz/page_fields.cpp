#include "obraz/page_fields.h"

#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>

#include "obraz/form_parts.h"
#include "obraz/show_pages.h"

namespace tablica {

namespace {

using obraz_form::BuddyLabel;
using obraz_form::Text;

}  // namespace

PageFields::PageFields(QWidget* parent) : QWidget(parent) {
  seconds_ = new QDoubleSpinBox;
  seconds_->setObjectName(QStringLiteral("seconds"));
  seconds_->setRange(0, 1'000'000);
  seconds_->setDecimals(1);
  seconds_->setSingleStep(0.5);
  seconds_->setSuffix(Text(" s"));
  passes_ = new QSpinBox;
  passes_->setObjectName(QStringLiteral("passes"));
  passes_->setRange(1, 1'000'000);
  passes_->setSuffix(Text("×"));
  passes_->setToolTip(Text("Przebiegi napisu albo pętle animacji"));
  speed_ = new QDoubleSpinBox;
  speed_->setObjectName(QStringLiteral("speed"));
  speed_->setRange(0.1, 10'000);
  speed_->setDecimals(1);
  speed_->setSuffix(Text(" punktów/s"));

  // A value counts once it is typed whole, not at each digit (each change
  // reads the show's pictures again for the preview).
  seconds_->setKeyboardTracking(false);
  passes_->setKeyboardTracking(false);
  speed_->setKeyboardTracking(false);
  connect(seconds_, &QDoubleSpinBox::valueChanged, this, [this](double value) {
    emit SecondsEdited(value > 0 ? std::optional(show::LengthOfSeconds(value)) : std::nullopt);
  });
  connect(passes_, &QSpinBox::valueChanged, this, &PageFields::PassesEdited);
  connect(speed_, &QDoubleSpinBox::valueChanged, this, &PageFields::SpeedEdited);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(BuddyLabel("Dłu&gość strony:", seconds_));
  layout->addWidget(seconds_);
  layout->addWidget(new QLabel(Text("albo przebiegi:")));  // reached with Tab
  layout->addWidget(passes_);
  layout->addWidget(BuddyLabel("Sz&ybkość napisu:", speed_));
  layout->addWidget(speed_);
  layout->addStretch(1);
  ShowPage(nullptr, nullptr);
}

void PageFields::ShowPage(const show::PageModel* page, const show::ContentModel* content) {
  const QSignalBlocker quietSeconds(seconds_);
  const QSignalBlocker quietPasses(passes_);
  const QSignalBlocker quietSpeed(speed_);
  seconds_->setEnabled(page != nullptr);
  passes_->setEnabled(false);
  speed_->setEnabled(false);
  if (page == nullptr) return;
  const bool moves = show_pages::Moves(*page);
  // No seconds: a page that moves lasts its passes, a still one for ever.
  seconds_->setSpecialValueText(moves ? Text("według przebiegów") : Text("bez końca"));
  seconds_->setValue(page->seconds ? static_cast<double>(page->seconds->count()) / 1000.0 : 0.0);
  passes_->setEnabled(moves && !page->seconds);
  passes_->setValue(show_pages::Passes(*page).value_or(1));
  if (content == nullptr) return;
  speed_->setEnabled(content->kind == show::ContentKind::Scroll);
  speed_->setValue(content->speed);
}

}  // namespace tablica
