#include "obraz/zone_fields.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolButton>

#include "board/board_dots.h"
#include "obraz/form_parts.h"
#include "obraz/show_pages.h"

namespace tablica {

namespace {

using obraz_form::BuddyLabel;
using obraz_form::Text;

QSpinBox* Side(const char* name, int from, int to) {
  auto* box = new QSpinBox;
  box->setObjectName(QString::fromLatin1(name));
  box->setRange(from, to);
  // A value counts once typed whole (each change draws the show again).
  box->setKeyboardTracking(false);
  return box;
}

}  // namespace

ZoneFields::ZoneFields(QMenu* addMenu, QWidget* parent) : QWidget(parent) {
  zones_ = new QListWidget;
  zones_->setObjectName(QStringLiteral("zones"));
  zones_->setMaximumHeight(zones_->fontMetrics().height() * 5);
  connect(zones_, &QListWidget::currentRowChanged, this, [this] {
    ShowPlace();
    emit ZoneChosen();
  });

  auto* add = new QPushButton(Text("Dodaj stre&fę"));
  add->setObjectName(QStringLiteral("addZoneButton"));
  add->setAutoDefault(false);
  add->setMenu(addMenu);
  add->setToolTip(
      Text("Strona całej tablicy staje się pierwszą strefą; nowa strefa zajmuje "
           "całą tablicę, dopóki nie dostanie swojego miejsca."));
  const auto arrow = [](const char* name, Qt::ArrowType type, const char* tip) {
    auto* button = new QToolButton;
    button->setObjectName(QString::fromLatin1(name));
    button->setArrowType(type);
    button->setToolTip(Text(tip));
    return button;
  };
  QToolButton* up = arrow("zoneUpButton", Qt::UpArrow, "Wcześniej, pod następnymi (Ctrl+↑)");
  QToolButton* down =
      arrow("zoneDownButton", Qt::DownArrow, "Później, nad wcześniejszymi (Ctrl+↓)");
  // As in the page list, the zone list's own keys move and remove.
  auto* remove = new QToolButton;
  remove->setObjectName(QStringLiteral("removeZoneButton"));
  remove->setText(Text("Usuń strefę"));
  remove->setToolTip(Text("Usuń strefę (Delete)"));
  const auto key = [this](QKeySequence sequence, auto slot) {
    auto* shortcut = new QShortcut(sequence, zones_, nullptr, nullptr, Qt::WidgetShortcut);
    connect(shortcut, &QShortcut::activated, this, slot);
  };
  const auto move = [this](int by) { return [this, by] { emit MoveRequested(by); }; };
  connect(up, &QToolButton::clicked, this, move(-1));
  connect(down, &QToolButton::clicked, this, move(1));
  connect(remove, &QToolButton::clicked, this, &ZoneFields::RemoveRequested);
  key(QKeySequence(Qt::CTRL | Qt::Key_Up), move(-1));
  key(QKeySequence(Qt::CTRL | Qt::Key_Down), move(1));
  key(QKeySequence(Qt::Key_Delete), [this] { emit RemoveRequested(); });

  x_ = Side("zoneX", 0, kBoardWidth - 1);
  y_ = Side("zoneY", 0, kBoardHeight - 1);
  w_ = Side("zoneW", 1, kBoardWidth);
  h_ = Side("zoneH", 1, kBoardHeight);
  for (QSpinBox* side : {x_, y_, w_, h_}) {
    connect(side, &QSpinBox::valueChanged, this, [this] {
      emit PlaceEdited(QRect(x_->value(), y_->value(), w_->value(), h_->value()));
    });
  }

  auto* arrows = new QHBoxLayout;
  arrows->addWidget(up);
  arrows->addWidget(down);
  arrows->addStretch(1);
  auto* commands = new QVBoxLayout;
  commands->addWidget(add);
  commands->addLayout(arrows);
  commands->addWidget(remove);
  commands->addStretch(1);
  auto* place = new QHBoxLayout;
  // The first field by its letter, the others with Tab after it.
  place->addWidget(BuddyLabel("Miejsce strefy w punktach: &x", x_));
  place->addWidget(x_);
  place->addWidget(new QLabel(Text("y")));
  place->addWidget(y_);
  place->addWidget(new QLabel(Text("szerokość")));
  place->addWidget(w_);
  place->addWidget(new QLabel(Text("wysokość")));
  place->addWidget(h_);
  place->addStretch(1);

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->addWidget(new QLabel(Text("Strefy strony (późniejsza rysowana nad wcześniejszą):")), 0, 0);
  grid->addWidget(zones_, 1, 0);
  grid->addLayout(commands, 1, 1);
  grid->addLayout(place, 2, 0, 1, 2);
  grid->setColumnStretch(0, 1);
  ShowZones(nullptr, -1);
}

void ZoneFields::ShowZones(const show::PageModel* page, int select) {
  const QSignalBlocker quietList(zones_);
  zones_->clear();
  places_.clear();
  if (page != nullptr && page->first.kind == show::ContentKind::Zones) {
    for (std::size_t i = 0; i < page->first.zones.size(); ++i) {
      const show::ZoneModel& zone = page->first.zones[i];
      zones_->addItem(show_pages::DescribeZone(zone, static_cast<int>(i) + 1));
      places_.emplace_back(zone.x, zone.y, zone.w, zone.h);
    }
    zones_->setCurrentRow(select);
  }
  setEnabled(page != nullptr);
  ShowPlace();
}

void ZoneFields::ShowPlace() {
  const QSignalBlocker quietX(x_);
  const QSignalBlocker quietY(y_);
  const QSignalBlocker quietW(w_);
  const QSignalBlocker quietH(h_);
  const int row = Current();
  const bool chosen = row >= 0 && row < static_cast<int>(places_.size());
  for (QSpinBox* side : {x_, y_, w_, h_}) side->setEnabled(chosen);
  if (!chosen) return;
  const QRect& place = places_[static_cast<std::size_t>(row)];
  x_->setValue(place.x());
  y_->setValue(place.y());
  w_->setValue(place.width());
  h_->setValue(place.height());
}

int ZoneFields::Current() const {
  return zones_->currentRow();
}

}  // namespace tablica
