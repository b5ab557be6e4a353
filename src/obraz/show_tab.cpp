#include "obraz/show_tab.h"

#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>
#include <system_error>
#include <utility>

#include "obraz/form_parts.h"
#include "obraz/live_fields.h"
#include "obraz/page_fields.h"
#include "obraz/picture_tab.h"
#include "obraz/preview_player.h"
#include "obraz/show_pages.h"
#include "obraz/text_tab.h"
#include "obraz/when_fields.h"
#include "obraz/zone_fields.h"
#include "picture/whole_files.h"
#include "show/board_content.h"
#include "show/show_file.h"
#include "show/show_writer.h"
#include "window_parts/file_dialogs.h"
#include "window_parts/guarded_call.h"
#include "window_parts/paths.h"

namespace tablica {

namespace {

namespace fs = std::filesystem;
using obraz_form::Text;

constexpr const char* kShowFilter = "Pokaz (*.json);;Wszystkie pliki (*)";
constexpr const char* kAnimationFilter =
    "Animacje (*.gif *.webp *.png *.apng *.mng);;Wszystkie pliki (*)";
constexpr const char* kFeedFilter = "Rozkład GTFS (*.zip);;Wszystkie pliki (*)";
constexpr const char* kNoPages = "Pokaz nie ma jeszcze żadnej strony: dodaj ją („Dodaj stronę”).";

QPushButton* Button(const char* name, const char* caption) {
  auto* button = new QPushButton(Text(caption));
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoDefault(false);
  return button;
}

QToolButton* Arrow(const char* name, Qt::ArrowType arrow, const char* tip) {
  auto* button = new QToolButton;
  button->setObjectName(QString::fromLatin1(name));
  button->setArrowType(arrow);
  button->setToolTip(Text(tip));
  return button;
}

}  // namespace

ShowTab::ShowTab(const PictureTab& pictures, const TextTab& texts, Services services,
                 QWidget* parent)
    : SourceTab(parent), pictures_(pictures), texts_(texts), services_(std::move(services)) {
  preview_ = new PreviewPlayer(this);
  connect(preview_, &PreviewPlayer::DotsChanged, this, &SourceTab::Changed);

  pages_ = new QListWidget;
  pages_->setObjectName(QStringLiteral("pages"));
  connect(pages_, &QListWidget::currentRowChanged, this, [this] { ShowFields(0); });

  QPushButton* add = Button("addButton", "&Dodaj stronę");
  add->setMenu(MakeSourceMenu("Page", &ShowTab::AddPageFrom));
  QToolButton* up = Arrow("upButton", Qt::UpArrow, "Wyżej (Ctrl+↑)");
  QToolButton* down = Arrow("downButton", Qt::DownArrow, "Niżej (Ctrl+↓)");
  QPushButton* remove = Button("removeButton", "Usuń z &listy");
  QPushButton* file = Button("fileButton", "Pl&ik pokazu");
  file->setMenu(MakeFileMenu());
  const auto command = [this](void (ShowTab::*run)()) {
    return [this, run] { Guarded([&] { (this->*run)(); }); };
  };
  connect(up, &QToolButton::clicked, this, [this] { Guarded([&] { MovePage(-1); }); });
  connect(down, &QToolButton::clicked, this, [this] { Guarded([&] { MovePage(1); }); });
  connect(remove, &QPushButton::clicked, this, command(&ShowTab::RemovePage));
  // The list's own keys move and remove the page chosen in it.
  const auto key = [this](QKeySequence sequence, auto slot) {
    auto* shortcut = new QShortcut(sequence, pages_, nullptr, nullptr, Qt::WidgetShortcut);
    connect(shortcut, &QShortcut::activated, this, slot);
  };
  key(QKeySequence(Qt::CTRL | Qt::Key_Up), [this] { Guarded([&] { MovePage(-1); }); });
  key(QKeySequence(Qt::CTRL | Qt::Key_Down), [this] { Guarded([&] { MovePage(1); }); });
  key(QKeySequence(Qt::Key_Delete), command(&ShowTab::RemovePage));

  auto* arrows = new QHBoxLayout;
  arrows->addWidget(up);
  arrows->addWidget(down);
  arrows->addStretch(1);
  auto* commands = new QVBoxLayout;
  commands->addWidget(add);
  commands->addLayout(arrows);
  commands->addWidget(remove);
  commands->addStretch(1);
  commands->addWidget(file);

  fileName_ = new QLabel;
  fileName_->setObjectName(QStringLiteral("showFile"));
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(Text("Strony pokazu (Ctrl+↑ i Ctrl+↓ przesuwają, Delete usuwa):")), 0,
                  0);
  grid->addWidget(pages_, 1, 0);
  grid->addLayout(commands, 1, 1);
  grid->addWidget(MakeFields(), 2, 0, 1, 2);
  grid->addWidget(MakeWhen(), 3, 0, 1, 2);
  grid->addWidget(MakeZones(), 4, 0, 1, 2);
  grid->addWidget(MakeLive(), 5, 0, 1, 2);
  showTransition_ = TransitionList("showTransition", false);
  connect(showTransition_, &QComboBox::activated, this, [this] {
    Guarded([&] {
      show_.transition = obraz_form::ChosenValue<show::Transition>(*showTransition_);
      PagesChanged(Current(), CurrentZone());
    });
  });
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(fileName_, 1);
  bottom->addWidget(new QLabel(Text("wejście stron w całym pokazie:")));
  bottom->addWidget(showTransition_);
  grid->addLayout(bottom, 6, 0, 1, 2);
  grid->setColumnStretch(0, 1);  // the page list takes the width; the commands their own
  ShowPages(-1);
}

ShowTab::~ShowTab() = default;

QMenu* ShowTab::MakeSourceMenu(const char* suffix, void (ShowTab::*use)(Source)) {
  auto* menu = new QMenu(this);
  const auto item = [this, menu, suffix, use](const char* name, const char* text, Source source) {
    QAction* action = menu->addAction(Text(text));
    action->setObjectName(QString::fromLatin1(name) + QString::fromLatin1(suffix));
    connect(action, &QAction::triggered, this,
            [this, source, use] { Guarded([&] { (this->*use)(source); }); });
  };
  item("addPicture", "&Obraz z karty „Obraz”", Source::Picture);
  item("addText", "&Tekst z karty „Tekst”", Source::Text);
  item("addScroll", "&Przewijany napis z karty „Tekst”", Source::Scroll);
  item("addClock", "&Zegar (godzina i data)", Source::Clock);
  item("addAnimation", "&Animacja z pliku…", Source::Animation);
  item("addDepartures", "Od&jazdy z rozkładu (GTFS)", Source::Departures);
  item("addData", "Wiersz &danych z sieci (JSON)", Source::Data);
  return menu;
}

QMenu* ShowTab::MakeFileMenu() {
  auto* menu = new QMenu(this);
  QAction* open = menu->addAction(Text("&Otwórz pokaz…"));
  open->setObjectName(QStringLiteral("openShow"));
  connect(open, &QAction::triggered, this, [this] { Guarded([&] { ChooseShow(); }); });
  QAction* save = menu->addAction(Text("&Zapisz pokaz…"));
  save->setObjectName(QStringLiteral("saveShow"));
  connect(save, &QAction::triggered, this, [this] { Guarded([&] { SaveShow(); }); });
  return menu;
}

QWidget* ShowTab::MakeFields() {
  fields_ = new PageFields;
  // Each edit changes the page chosen in the list.
  const auto edit = [this](auto change) {
    return [this, change](auto value) {
      Guarded([&] {
        change(show_.pages.at(static_cast<std::size_t>(Current())), value);
        PagesChanged(Current(), CurrentZone());
      });
    };
  };
  connect(fields_, &PageFields::SecondsEdited, this,
          edit([](show::PageModel& page, std::optional<std::chrono::milliseconds> length) {
            show_pages::SetSeconds(page, length);
          }));
  connect(fields_, &PageFields::PassesEdited, this,
          edit([](show::PageModel& page, int passes) { show_pages::SetPasses(page, passes); }));
  connect(fields_, &PageFields::SpeedEdited, this,
          edit([this](show::PageModel& page, double speed) {
            show_pages::EditedContent(page, CurrentZone()).speed = speed;
          }));
  return fields_;
}

QWidget* ShowTab::MakeWhen() {
  when_ = new WhenFields;
  const auto edit = [this](auto change) {
    return [this, change](auto value) {
      Guarded([&] {
        change(show_.pages.at(static_cast<std::size_t>(Current())), std::move(value));
        PagesChanged(Current(), CurrentZone());
      });
    };
  };
  connect(when_, &WhenFields::WhenEdited, this,
          edit([](show::PageModel& page, std::optional<show::WhenRule> when) {
            page.when = std::move(when);
          }));
  connect(when_, &WhenFields::TransitionEdited, this,
          edit([](show::PageModel& page, std::optional<show::Transition> transition) {
            page.transition = transition;
          }));
  connect(when_, &WhenFields::Refused, this,
          [this](const std::string& message) { services_.showMessage(message); });
  return when_;
}

QWidget* ShowTab::MakeLive() {
  live_ = new LiveFields;
  connect(live_, &LiveFields::LiveEdited, this,
          [this](const show::LiveModel& live) { Guarded([&] { EditLive(live); }); });
  connect(live_, &LiveFields::FeedFileRequested, this, [this] { Guarded([&] { ChooseFeed(); }); });
  connect(live_, &LiveFields::Refused, this,
          [this](const std::string& message) { services_.showMessage(message); });
  return live_;
}

QWidget* ShowTab::MakeZones() {
  zones_ = new ZoneFields(MakeSourceMenu("Zone", &ShowTab::AddZoneFrom));
  connect(zones_, &ZoneFields::ZoneChosen, this, [this] {
    Guarded([&] {
      const int row = Current();
      if (row < 0) return;
      show::PageModel& page = show_.pages[static_cast<std::size_t>(row)];
      fields_->ShowPage(&page, &show_pages::EditedContent(page, CurrentZone()));
      live_->ShowContent(&show_pages::EditedContent(page, CurrentZone()));
    });
  });
  connect(zones_, &ZoneFields::PlaceEdited, this,
          [this](QRect place) { Guarded([&] { PlaceZone(place); }); });
  connect(zones_, &ZoneFields::MoveRequested, this,
          [this](int by) { Guarded([&] { MoveZone(by); }); });
  connect(zones_, &ZoneFields::RemoveRequested, this, [this] { Guarded([&] { RemoveZone(); }); });
  return zones_;
}

template <class Command>
void ShowTab::Guarded(Command&& command) {
  GuardedCall(services_.showError, std::forward<Command>(command));
}

picture::DotsResult ShowTab::MakeDots() {
  // No page yet is a blank board.
  if (!refusal_.empty()) return {BoardDots(), refusal_};
  return {preview_->Dots(), {}};
}

show::TimelineResult ShowTab::BoardTimeline() const {
  if (show_.pages.empty()) return {nullptr, show::Problem({}, kNoPages)};
  const fs::path folder = Folder();
  const show::ShowModelResult checked =
      show::ParseShow(show::ShowJson(show_, folder), folder, show::ShowOrigin::File);
  if (!checked.show) return {nullptr, checked.error};
  return show::MakeTimeline(*checked.show, QDateTime::currentDateTime());
}

bool ShowTab::OpenShow(const fs::path& file) {
  const fs::path whole = show::AbsolutePath(file);
  show::ShowModelResult read = show::ReadShowFile(whole);
  if (!read.show) {
    services_.showMessage(show::Sentence(read.error));
    return false;
  }
  const auto normalise = [](show::ContentModel& content) {
    if (!content.picture.Inline()) content.picture.path = content.picture.path.lexically_normal();
  };
  for (show::PageModel& page : read.show->pages) {
    for (show::ContentModel* content : {&page.first, page.second ? &*page.second : nullptr}) {
      if (!content) continue;
      normalise(*content);
      for (show::ZoneModel& zone : content->zones) normalise(zone.content);
    }
  }
  show_ = std::move(*read.show);
  file_ = whole;
  PagesChanged(0);
  saved_ = true;
  ShowPages(0);
  return true;
}

void ShowTab::RestartPreview() {
  preview_->Restart();
}

void ShowTab::FocusPages() {
  pages_->setFocus(Qt::OtherFocusReason);
}

std::vector<QRect> ShowTab::ZoneEdges() const {
  // The page the preview shows; while the show cannot play, the chosen one.
  const int page = preview_->Page() >= 0 ? preview_->Page() : Current();
  if (page < 0 || page >= static_cast<int>(show_.pages.size())) return {};
  std::vector<QRect> edges;
  for (const show::ZoneModel& zone : show_.pages[static_cast<std::size_t>(page)].first.zones) {
    edges.emplace_back(zone.x, zone.y, zone.w, zone.h);
  }
  return edges;
}

void ShowTab::showEvent(QShowEvent* event) {
  SourceTab::showEvent(event);
  preview_->SetRunning(true);
}

void ShowTab::hideEvent(QHideEvent* event) {
  SourceTab::hideEvent(event);
  preview_->SetRunning(false);
}

void ShowTab::AddPage(show::PageModel page) {
  // A page is checked alone before it joins the show, so a page that can
  // never be shown does not join it; the message names the page it would be.
  const int number = static_cast<int>(show_.pages.size()) + 1;
  for (const show::ContentModel* content : {&page.first, page.second ? &*page.second : nullptr}) {
    show::ShowError error = show::PlaceOf(number, content != &page.first);
    if (content && !show::MakeContent(*content, QDateTime::currentDateTime(), error)) {
      services_.showMessage(show::Sentence(error));
      return;
    }
  }
  show_.pages.push_back(std::move(page));
  PagesChanged(static_cast<int>(show_.pages.size()) - 1);
}

void ShowTab::AddPageFrom(Source source) {
  if (std::optional<show::PageModel> page = PageFrom(source, false)) AddPage(std::move(*page));
}

void ShowTab::AddZoneFrom(Source source) {
  const int row = Current();
  if (row < 0) {
    services_.showMessage(
        "Najpierw wybierz na liście stronę, którą podzielić na strefy (albo dodaj stronę).");
    return;
  }
  const std::optional<show::PageModel> made = PageFrom(source, true);
  if (!made) return;
  show::PageModel page = show_.pages[static_cast<std::size_t>(row)];
  show_pages::AddZone(page, made->first);
  // As a page, a zone that can never be shown does not join it.
  show::ShowError error = show::PlaceOf(row + 1);
  if (!show::MakeContent(page.first, QDateTime::currentDateTime(), error)) {
    services_.showMessage(show::Sentence(error));
    return;
  }
  const int zone = static_cast<int>(page.first.zones.size()) - 1;
  show_.pages[static_cast<std::size_t>(row)] = std::move(page);
  PagesChanged(row, zone);
}

std::optional<show::PageModel> ShowTab::PageFrom(Source source, bool zone) {
  switch (source) {
    case Source::Picture: {
      const std::optional<fs::path> picture = pictures_.PicturePath();
      if (!picture) {
        services_.showMessage("Najpierw otwórz obraz na karcie „Obraz”.");
        return std::nullopt;
      }
      return show_pages::PicturePage(show::AbsolutePath(*picture), pictures_.Choices());
    }
    case Source::Text:
    case Source::Scroll: {
      const picture::ConvertOptions text = texts_.Choices();
      if (!text.HasText()) {
        services_.showMessage("Najpierw wpisz tekst na karcie „Tekst”.");
        return std::nullopt;
      }
      return source == Source::Scroll ? show_pages::ScrollPage(text) : show_pages::TextPage(text);
    }
    case Source::Clock:
      return show_pages::ClockPage(!zone);
    case Source::Departures:
      return show_pages::LivePage(show::ContentKind::Departures);
    case Source::Data:
      return show_pages::LivePage(show::ContentKind::Data);
    case Source::Animation: {
      const FileChoice choice{Text("Dodaj animację"), Text(kAnimationFilter), QString(),
                              ToQString(Folder()) + QLatin1Char('/')};
      const std::optional<QString> chosen = services_.openChooser.ChooseFile(this, choice);
      if (!chosen) return std::nullopt;
      return show_pages::AnimationPage(show::AbsolutePath(ToPath(*chosen)), pictures_.Choices());
    }
  }
  return std::nullopt;
}

void ShowTab::MovePage(int by) {
  const int from = Current();
  const int to = from + by;
  if (from < 0 || to < 0 || to >= static_cast<int>(show_.pages.size())) return;
  std::swap(show_.pages[static_cast<std::size_t>(from)], show_.pages[static_cast<std::size_t>(to)]);
  PagesChanged(to);
}

void ShowTab::RemovePage() {
  const int row = Current();
  if (row < 0) return;
  show_.pages.erase(show_.pages.begin() + row);
  PagesChanged(std::min(row, static_cast<int>(show_.pages.size()) - 1));
}

void ShowTab::MoveZone(int by) {
  const int row = Current();
  const int from = CurrentZone();
  if (row < 0 || from < 0) return;
  std::vector<show::ZoneModel>& zones = show_.pages[static_cast<std::size_t>(row)].first.zones;
  const int to = from + by;
  if (to < 0 || to >= static_cast<int>(zones.size())) return;
  std::swap(zones[static_cast<std::size_t>(from)], zones[static_cast<std::size_t>(to)]);
  PagesChanged(row, to);
}

void ShowTab::RemoveZone() {
  const int row = Current();
  const int zone = CurrentZone();
  if (row < 0 || zone < 0) return;
  std::vector<show::ZoneModel>& zones = show_.pages[static_cast<std::size_t>(row)].first.zones;
  if (zones.size() == 1) {
    services_.showMessage(
        "To jedyna strefa tej strony: żeby ją usunąć, usuń całą stronę („Usuń z listy”).");
    return;
  }
  zones.erase(zones.begin() + zone);
  PagesChanged(row, std::min(zone, static_cast<int>(zones.size()) - 1));
}

void ShowTab::PlaceZone(QRect place) {
  const int row = Current();
  const int zone = CurrentZone();
  if (row < 0 || zone < 0) return;
  show::ZoneModel& edited =
      show_.pages[static_cast<std::size_t>(row)].first.zones.at(static_cast<std::size_t>(zone));
  // A place beyond the board is kept as typed; the line under the preview
  // says what is wrong until the user mends it (nothing is saved meanwhile).
  edited.x = place.x();
  edited.y = place.y();
  edited.w = place.width();
  edited.h = place.height();
  PagesChanged(row, zone);
}

void ShowTab::EditLive(show::LiveModel live) {
  const int row = Current();
  if (row < 0) return;
  // A timetable file is kept named whole, from the show's folder when typed
  // without one.
  if (!live.feed.empty() && !show_pages::IsAddress(live.feed)) {
    const fs::path feed = picture::PathFromUtf8(live.feed);
    live.feed = picture::Utf8Name(show::AbsolutePath(feed.is_absolute() ? feed : Folder() / feed));
  }
  show::PageModel& page = show_.pages[static_cast<std::size_t>(row)];
  show_pages::EditedContent(page, CurrentZone()).live = std::move(live);
  PagesChanged(row, CurrentZone());
}

void ShowTab::ChooseFeed() {
  const FileChoice choice{Text("Rozkład jazdy"), Text(kFeedFilter), QString(),
                          ToQString(Folder()) + QLatin1Char('/')};
  const std::optional<QString> chosen = services_.openChooser.ChooseFile(this, choice);
  const int row = Current();
  if (!chosen || row < 0) return;
  show::PageModel& page = show_.pages[static_cast<std::size_t>(row)];
  show_pages::EditedContent(page, CurrentZone()).live.feed =
      picture::Utf8Name(show::AbsolutePath(ToPath(*chosen)));
  PagesChanged(row, CurrentZone());
}

void ShowTab::ChooseShow() {
  const FileChoice choice{Text("Otwórz pokaz"), Text(kShowFilter), QString(), ToQString(file_)};
  const std::optional<QString> chosen = services_.openChooser.ChooseFile(this, choice);
  if (!chosen) return;
  if (!saved_ && !show_.pages.empty() &&
      !services_.ask("Strony tego pokazu nie są zapisane. Otworzyć inny pokaz w ich miejsce?")) {
    return;
  }
  OpenShow(ToPath(*chosen));
}

void ShowTab::SaveShow() {
  if (show_.pages.empty()) {
    services_.showMessage(kNoPages);
    return;
  }
  const FileChoice choice{Text("Zapisz pokaz"), Text(kShowFilter), QStringLiteral("json"),
                          ToQString(file_)};
  const std::optional<QString> chosen = services_.saveChooser.ChooseFile(this, choice);
  if (!chosen) return;
  const fs::path target = show::AbsolutePath(ToPath(*chosen));
  const QByteArray json = show::ShowJson(show_, target.parent_path());
  // Only a show that its file can hold is written: what is saved plays.
  const show::ShowModelResult checked =
      show::ParseShow(json, target.parent_path(), show::ShowOrigin::File);
  if (!checked.show) {
    services_.showMessage(show::Sentence(checked.error));
    return;
  }
  const picture::FileToWrite out{target, json};
  if (const std::string failed = picture::WriteFilesWhole({&out, 1}); !failed.empty()) {
    services_.showMessage(failed);
    return;
  }
  file_ = target;
  saved_ = true;
  ShowPages(Current());
}

int ShowTab::Current() const {
  return pages_->currentRow();
}

int ShowTab::CurrentZone() const {
  return zones_->Current();
}

void ShowTab::ShowPages(int select, int zone) {
  {
    const QSignalBlocker quiet(pages_);
    pages_->clear();
    for (std::size_t i = 0; i < show_.pages.size(); ++i) {
      pages_->addItem(show_pages::Describe(show_.pages[i], static_cast<int>(i) + 1));
    }
    pages_->setCurrentRow(select);
  }
  ShowFields(zone);
  {
    const QSignalBlocker quiet(showTransition_);
    showTransition_->setCurrentIndex(showTransition_->findData(static_cast<int>(show_.transition)));
  }
  QString name = file_.empty() ? Text("(nowy)") : ToQString(file_);
  if (!saved_) name += Text(" – zmieniony, niezapisany");
  fileName_->setText(Text("Plik pokazu: ") + name);
}

void ShowTab::ShowFields(int zone) {
  const int row = Current();
  const bool chosen = row >= 0 && row < static_cast<int>(show_.pages.size());
  show::PageModel* page = chosen ? &show_.pages[static_cast<std::size_t>(row)] : nullptr;
  zones_->ShowZones(page, zone);
  when_->ShowPage(page);
  live_->ShowContent(page ? &show_pages::EditedContent(*page, CurrentZone()) : nullptr);
  fields_->ShowPage(page, page ? &show_pages::EditedContent(*page, CurrentZone()) : nullptr);
}

void ShowTab::PagesChanged(int select, int zone) {
  saved_ = false;
  ShowPages(select, zone);
  show::TimelineResult made;
  if (!show_.pages.empty()) made = BoardTimeline();
  refusal_ = made.error.Empty() ? std::string() : show::Sentence(made.error);
  preview_->SetShow(std::move(made.timeline));
  emit SourceTab::Changed();
}

fs::path ShowTab::Folder() const {
  if (!file_.empty()) return file_.parent_path();
  std::error_code failed;
  const fs::path here = fs::current_path(failed);
  return failed ? fs::path(".") : here;
}

}  // namespace tablica
