#include "obraz/live_fields.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStringList>
#include <QToolButton>
#include <algorithm>

#include "obraz/form_parts.h"
#include "obraz/show_pages.h"
#include "obraz/stop_search.h"
#include "picture/convert_options.h"

namespace tablica {

namespace {

using obraz_form::Text;

// Stops at most, as a show file takes them.
constexpr int kMaxStops = 64;

QLineEdit* Line(const char* name, const char* hint) {
  auto* line = new QLineEdit;
  line->setObjectName(QString::fromLatin1(name));
  line->setPlaceholderText(Text(hint));
  return line;
}

QString Utf8(const std::string& text) {
  return QString::fromStdString(text);
}

std::string Trimmed(const QLineEdit* line) {
  return line->text().trimmed().toStdString();
}

}  // namespace

LiveFields::LiveFields(QWidget* parent) : QWidget(parent) {
  kinds_ = new QStackedWidget;
  departures_ = MakeDepartures();
  data_ = MakeData();
  kinds_->addWidget(departures_);
  kinds_->addWidget(data_);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(kinds_);
  // An edit counts once the field is left or Enter pressed, as a whole.
  for (QLineEdit* line : {feed_, stops_, realtime_, alerts_, url_, pointer_, text_}) {
    connect(line, &QLineEdit::editingFinished, this, [this, line] {
      if (!line->isModified()) return;
      line->setModified(false);
      Edited();
    });
  }
  connect(rows_, &QSpinBox::valueChanged, this, &LiveFields::Edited);
  ShowContent(nullptr);
}

QWidget* LiveFields::MakeDepartures() {
  auto* page = new QWidget;
  feed_ = Line("liveFeed", "plik rozkładu GTFS (.zip) albo adres https://…");
  auto* chooseFeed = new QToolButton;
  chooseFeed->setObjectName(QStringLiteral("liveFeedButton"));
  chooseFeed->setText(Text("…"));
  chooseFeed->setToolTip(Text("Wybierz plik rozkładu"));
  connect(chooseFeed, &QToolButton::clicked, this, &LiveFields::FeedFileRequested);
  stops_ = Line("liveStops", "numery przystanków (stop_id), po przecinku");
  search_ = Line("stopSearch", "część nazwy, Enter");
  connect(search_, &QLineEdit::returnPressed, this, &LiveFields::Search);
  found_ = new QListWidget;
  found_->setObjectName(QStringLiteral("stopsFound"));
  found_->setMaximumHeight(found_->fontMetrics().height() * 5);
  connect(found_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
    AddStop(item->data(Qt::UserRole).toString().toStdString());
  });
  foundNote_ = new QLabel;
  foundNote_->setObjectName(QStringLiteral("stopsNote"));
  foundNote_->setWordWrap(true);
  rows_ = new QSpinBox;
  rows_->setObjectName(QStringLiteral("liveRows"));
  rows_->setRange(1, 16);
  rows_->setKeyboardTracking(false);
  realtime_ = Line("liveRealtime", "https://…/tripupdates.pb (niekonieczny)");
  alerts_ = Line("liveAlerts", "https://…/alerts.pb (niekonieczny)");

  auto* grid = new QGridLayout(page);
  grid->setContentsMargins(0, 0, 0, 0);
  auto* feedRow = new QHBoxLayout;
  feedRow->addWidget(feed_, 1);
  feedRow->addWidget(chooseFeed);
  grid->addWidget(new QLabel(Text("Odjazdy z rozkładu:")), 0, 0);
  grid->addLayout(feedRow, 0, 1, 1, 3);
  grid->addWidget(new QLabel(Text("przystanki:")), 1, 0);
  grid->addWidget(stops_, 1, 1);
  grid->addWidget(new QLabel(Text("szukaj w rozkładzie:")), 1, 2);
  grid->addWidget(search_, 1, 3);
  grid->addWidget(foundNote_, 2, 0, 1, 2);
  grid->addWidget(found_, 2, 2, 1, 2);
  auto* more = new QHBoxLayout;
  more->addWidget(new QLabel(Text("wierszy:")));
  more->addWidget(rows_);
  more->addWidget(new QLabel(Text("na żywo (GTFS-RT):")));
  more->addWidget(realtime_, 1);
  more->addWidget(new QLabel(Text("komunikaty:")));
  more->addWidget(alerts_, 1);
  grid->addLayout(more, 3, 0, 1, 4);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
  return page;
}

QWidget* LiveFields::MakeData() {
  auto* page = new QWidget;
  url_ = Line("liveUrl", "https://… (dokument JSON)");
  pointer_ = Line("livePointer", "np. /current/temperature_2m");
  text_ = Line("liveText", "np. Temperatura {value} °C");
  auto* grid = new QGridLayout(page);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->addWidget(new QLabel(Text("Wiersz danych z adresu:")), 0, 0);
  grid->addWidget(url_, 0, 1, 1, 3);
  grid->addWidget(new QLabel(Text("wskaźnik JSON:")), 1, 0);
  grid->addWidget(pointer_, 1, 1);
  grid->addWidget(new QLabel(Text("tekst ({value}: wartość):")), 1, 2);
  grid->addWidget(text_, 1, 3);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
  return page;
}

void LiveFields::ShowContent(const show::ContentModel* content) {
  const bool departures = content && content->kind == show::ContentKind::Departures;
  const bool data = content && content->kind == show::ContentKind::Data;
  setVisible(departures || data);
  if (!departures && !data) return;
  if (content->live.feed != shown_.feed) {
    found_->clear();  // found in another timetable
    foundNote_->clear();
  }
  shown_ = content->live;
  kinds_->setCurrentWidget(departures ? departures_ : data_);
  ShowValues();
}

void LiveFields::ShowValues() {
  const QSignalBlocker quiet(rows_);
  feed_->setText(Utf8(shown_.feed));
  QStringList stops;
  for (const std::string& stop : shown_.stops) stops << Utf8(stop);
  stops_->setText(stops.join(QStringLiteral(", ")));
  rows_->setValue(shown_.rows);
  realtime_->setText(Utf8(shown_.realtime));
  alerts_->setText(Utf8(shown_.alerts));
  url_->setText(Utf8(shown_.url));
  pointer_->setText(Utf8(shown_.pointer));
  text_->setText(Utf8(shown_.text));
}

void LiveFields::Edited() {
  show::LiveModel live = shown_;
  live.feed = Trimmed(feed_);
  live.stops.clear();
  static const QRegularExpression kBetween(QStringLiteral("[,;\\s]+"));
  for (const QString& stop : stops_->text().split(kBetween, Qt::SkipEmptyParts)) {
    if (std::find(live.stops.begin(), live.stops.end(), stop.toStdString()) == live.stops.end())
      live.stops.push_back(stop.toStdString());
  }
  if (static_cast<int>(live.stops.size()) > kMaxStops) {
    ShowValues();
    emit Refused("Odjazdy mogą być najwyżej z " + std::to_string(kMaxStops) + " przystanków.");
    return;
  }
  live.rows = rows_->value();
  live.realtime = Trimmed(realtime_);
  live.alerts = Trimmed(alerts_);
  live.url = Trimmed(url_);
  live.pointer = Trimmed(pointer_);
  live.text = text_->text().toStdString();
  if (live == shown_) return;
  shown_ = live;
  emit LiveEdited(live);
}

void LiveFields::Search() {
  found_->clear();
  foundNote_->clear();
  // The timetable as the content holds it (a file named whole).
  const QString feed = Utf8(shown_.feed);
  if (feed.isEmpty()) {
    foundNote_->setText(Text("Najpierw wskaż plik rozkładu (…)."));
    return;
  }
  if (show_pages::IsAddress(shown_.feed)) {
    foundNote_->setText(
        Text("Przystanki wyszukuje się w pliku rozkładu: pobierz go i wskaż (…) do "
             "wyszukania, albo wpisz numery przystanków."));
    return;
  }
  const StopChoices choices =
      SearchStops(picture::PathFromUtf8(feed.toStdString()), Trimmed(search_));
  for (const StopChoice& stop : choices.stops) {
    auto* item = new QListWidgetItem(Utf8(stop.line), found_);
    item->setData(Qt::UserRole, Utf8(stop.id));
  }
  foundNote_->setText(Utf8(
      choices.note.empty() ? "Enter albo dwuklik dodaje przystanek do odjazdów." : choices.note));
  if (found_->count() > 0) {
    found_->setCurrentRow(0);
    found_->setFocus(Qt::OtherFocusReason);
  }
}

void LiveFields::AddStop(const std::string& id) {
  QStringList stops =
      stops_->text().split(QRegularExpression(QStringLiteral("[,;\\s]+")), Qt::SkipEmptyParts);
  if (stops.contains(Utf8(id))) return;
  stops << Utf8(id);
  stops_->setText(stops.join(QStringLiteral(", ")));
  Edited();
}

}  // namespace tablica
