#include "obraz/when_fields.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QStringList>

#include "obraz/form_parts.h"
#include "show/show_when.h"

namespace tablica {

namespace {

using obraz_form::BuddyLabel;
using obraz_form::Text;

constexpr std::array<const char*, 7> kDayNames{"Pn", "Wt", "Śr", "Cz", "Pt", "So", "Nd"};

// The transition list's entries; the first (-1) is the show's own.
constexpr int kShowsOwn = -1;

QLineEdit* Line(const char* name, const char* hint) {
  auto* line = new QLineEdit;
  line->setObjectName(QString::fromLatin1(name));
  line->setPlaceholderText(Text(hint));
  return line;
}

}  // namespace

QComboBox* TransitionList(const char* name, bool showsOwn) {
  const auto value = [](show::Transition transition) { return static_cast<int>(transition); };
  QComboBox* list = obraz_form::ChoiceList<int>(
      name, {{"od razu", value(show::Transition::None)},
             {"wsuwa się z prawej", value(show::Transition::SlideLeft)},
             {"wsuwa się z dołu", value(show::Transition::SlideUp)},
             {"zasłania poprzednią od lewej", value(show::Transition::Wipe)}});
  if (showsOwn) list->insertItem(0, Text("jak cały pokaz"), kShowsOwn);
  return list;
}

WhenFields::WhenFields(QWidget* parent) : QWidget(parent) {
  auto* dayRow = new QHBoxLayout;
  dayRow->setSpacing(2);
  for (std::size_t i = 0; i < days_.size(); ++i) {
    days_[i] = new QCheckBox(Text(kDayNames[i]));
    days_[i]->setObjectName(QStringLiteral("day%1").arg(i + 1));
    connect(days_[i], &QCheckBox::toggled, this, &WhenFields::Edited);
    dayRow->addWidget(days_[i]);
  }
  from_ = Line("fromTime", "GG:MM");
  to_ = Line("toTime", "GG:MM");
  dates_ = Line("dates", "np. 2026-12-24, 2026-12-27..2027-01-06");
  from_->setMaximumWidth(from_->fontMetrics().horizontalAdvance(QStringLiteral("000000000")));
  to_->setMaximumWidth(from_->maximumWidth());
  for (QLineEdit* line : {from_, to_, dates_}) {
    connect(line, &QLineEdit::editingFinished, this, [this, line] {
      if (line->isModified()) Edited();
      line->setModified(false);
    });
  }
  transition_ = TransitionList("transition", true);
  connect(transition_, &QComboBox::activated, this,
          [this] { emit TransitionEdited(TransitionShown()); });

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  // The hours by their letter; the days before them and the dates and the
  // transition after them with Tab (the window's letters are all taken).
  auto* daysLabel = new QLabel(Text("Strona w dni:"));
  daysLabel->setToolTip(Text("Wszystkie zaznaczone: w każdy dzień"));
  grid->addWidget(daysLabel, 0, 0);
  grid->addLayout(dayRow, 0, 1);
  auto* hours = new QHBoxLayout;
  hours->addWidget(BuddyLabel("w godzinac&h od", from_));
  hours->addWidget(from_);
  hours->addWidget(new QLabel(Text("do")));
  hours->addWidget(to_);
  hours->addStretch(1);
  grid->addLayout(hours, 0, 2);
  grid->addWidget(new QLabel(Text("w daty:")), 1, 0);
  grid->addWidget(dates_, 1, 1);
  auto* comes = new QHBoxLayout;
  comes->addWidget(new QLabel(Text("wejście strony:")));
  comes->addWidget(transition_);
  comes->addStretch(1);
  grid->addLayout(comes, 1, 2);
  grid->setColumnStretch(1, 1);
  ShowPage(nullptr);
}

void WhenFields::ShowPage(const show::PageModel* page) {
  setEnabled(page != nullptr);
  shown_ = page ? page->when : std::nullopt;
  const show::WhenRule rule = shown_.value_or(show::WhenRule{});
  for (std::size_t i = 0; i < days_.size(); ++i) {
    const QSignalBlocker quiet(days_[i]);
    const int day = static_cast<int>(i) + 1;
    days_[i]->setChecked(rule.days.empty() ||
                         std::find(rule.days.begin(), rule.days.end(), day) != rule.days.end());
  }
  const auto time = [](const std::optional<int>& minutes) {
    return minutes ? QString::fromStdString(show::DayTimeText(*minutes)) : QString();
  };
  from_->setText(time(rule.from));
  to_->setText(time(rule.to));
  QStringList dates;
  for (const show::DateRange& range : rule.dates) {
    dates << QString::fromStdString(show::DateRangeText(range));
  }
  dates_->setText(dates.join(QStringLiteral(", ")));
  const int transition = page && page->transition ? static_cast<int>(*page->transition) : kShowsOwn;
  transition_->setCurrentIndex(transition_->findData(transition));
}

std::optional<show::Transition> WhenFields::TransitionShown() const {
  const int chosen = transition_->currentData().toInt();
  if (chosen == kShowsOwn) return std::nullopt;
  return static_cast<show::Transition>(chosen);
}

void WhenFields::Edited() {
  std::string refusal;
  std::optional<show::WhenRule> rule = Read(refusal);
  if (!refusal.empty()) {
    // The fields go back to what the page holds; the reason is said.
    show::PageModel page;
    page.when = shown_;
    page.transition = TransitionShown();
    ShowPage(&page);
    emit Refused(refusal);
    return;
  }
  shown_ = rule;
  emit WhenEdited(std::move(rule));
}

std::optional<show::WhenRule> WhenFields::Read(std::string& refusal) const {
  show::WhenRule rule;
  for (std::size_t i = 0; i < days_.size(); ++i) {
    if (days_[i]->isChecked()) rule.days.push_back(static_cast<int>(i) + 1);
  }
  if (rule.days.empty()) {
    refusal = "Strona musi mieć choć jeden dzień tygodnia (wszystkie zaznaczone: w każdy dzień).";
    return std::nullopt;
  }
  if (rule.days.size() == days_.size()) rule.days.clear();
  for (QLineEdit* line : {from_, to_}) {
    const QString text = line->text().trimmed();
    if (text.isEmpty()) continue;
    const bool end = line == to_;
    const std::optional<int> minute = show::MinuteOfDay(text.toStdString(), end);
    if (!minute) {
      refusal = "Godzina „" + text.toStdString() + "” jest zła: potrzebna „GG:MM”, np. „" +
                (end ? "09:30” (najpóźniej „24:00”)." : "06:00”.");
      return std::nullopt;
    }
    (end ? rule.to : rule.from) = *minute;
  }
  if (rule.from && rule.to && *rule.from == *rule.to) {
    refusal = "Godziny „od” i „do” są równe: strona nie miałaby czasu (cała doba to puste pola).";
    return std::nullopt;
  }
  static const QRegularExpression kBetween(QStringLiteral("[,;\\s]+"));
  for (const QString& part : dates_->text().split(kBetween, Qt::SkipEmptyParts)) {
    const std::optional<show::DateRange> range = show::DateRangeOfText(part.toStdString());
    if (!range) {
      refusal = "Data „" + part.toStdString() +
                "” jest zła: potrzebna np. „2026-12-24” albo przedział "
                "„2026-12-27..2027-01-06” (od wcześniejszej do późniejszej).";
      return std::nullopt;
    }
    rule.dates.push_back(*range);
  }
  if (rule == show::WhenRule{}) return std::nullopt;  // always due
  return rule;
}

}  // namespace tablica
