#include "obraz/obraz_window.h"

#include <utility>

#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>

#include "obraz/board_play.h"
#include "obraz/board_preview.h"
#include "obraz/form_parts.h"
#include "obraz/picture_tab.h"
#include "obraz/show_tab.h"
#include "obraz/text_tab.h"
#include "picture/convert.h"
#include "serial/comm_settings.h"
#include "session/board_session.h"
#include "window_parts/paths.h"

namespace tablica {
namespace {

using obraz_form::BuddyLabel;
using obraz_form::Text;

QString PictureFilter() {
  QStringList patterns;
  for (const QByteArray& format : QImageReader::supportedImageFormats()) {
    patterns << QStringLiteral("*.") + QString::fromLatin1(format);
  }
  return Text("Obrazy (") + patterns.join(QLatin1Char(' ')) + Text(");;Wszystkie pliki (*)");
}

bool IsShowFile(const QString& path) {
  return path.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive);
}

}  // namespace

ObrazWindow::ObrazWindow(BoardWindowServices services, FileChooser& openChooser,
                         FileChooser& saveChooser, SessionMessages& sessionMessages, AskFn ask,
                         QWidget* parent)
    : BoardWindow(std::move(services), parent),
      openChooser_(openChooser),
      saveChooser_(saveChooser),
      sessionMessages_(sessionMessages) {
  setWindowTitle(Text(obraz_texts::kTitle));
  setAcceptDrops(true);

  sourceTabs_ = new QTabWidget;
  sourceTabs_->setObjectName(QStringLiteral("sourceTabs"));
  pictureTab_ = new PictureTab;
  connect(pictureTab_, &PictureTab::OpenRequested, this, GuardedSlot(&ObrazWindow::ChoosePicture));
  AddSource(pictureTab_, "O&braz");
  auto* textTab = new TextTab;
  AddSource(textTab, "&Tekst");
  showTab_ = new ShowTab(
      *pictureTab_, *textTab,
      {openChooser, saveChooser, Services().showMessage, Services().showError, std::move(ask)});
  showTab_->setObjectName(QStringLiteral("showTab"));
  AddSource(showTab_, "Po&kaz");
  connect(sourceTabs_, &QTabWidget::currentChanged, this, [this] {
    Guarded([&] {
      // The show's pages are where its keys work (moving, removing).
      if (&CurrentSource() == showTab_) showTab_->FocusPages();
      UpdatePreview();
    });
  });

  preview_ = new BoardPreview;
  preview_->setObjectName(QStringLiteral("preview"));
  status_ = new QLabel;
  status_->setObjectName(QStringLiteral("status"));
  status_->setWordWrap(true);
  boardStatus_ = new QLabel;
  boardStatus_->setObjectName(QStringLiteral("boardStatus"));
  boardStatus_->setWordWrap(true);

  auto* previewBox = new QGroupBox(Text("Tak pokaże to tablica"));
  auto* previewLayout = new QVBoxLayout(previewBox);
  previewLayout->addWidget(preview_);
  previewLayout->addWidget(status_);
  previewLayout->addWidget(boardStatus_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(sourceTabs_);
  layout->addWidget(previewBox, 1);
  layout->addWidget(MakeCommandRow());

  ports_ = std::make_unique<PortChoice>(*portList_, Session());
  ports_->Fill();
  ConnectKeys();
  UpdatePreview();
}

ObrazWindow::~ObrazWindow() {
  // A playing show ends after the frame in flight, before the window goes.
  play_.reset();
}

void ObrazWindow::AddSource(SourceTab* tab, const char* caption) {
  sourceTabs_->addTab(tab, Text(caption));
  // A change in a tab that is not shown changes nothing on the board.
  connect(tab, &SourceTab::Changed, this, [this, tab] {
    if (tab == &CurrentSource()) Guarded([&] { UpdatePreview(); });
  });
}

QWidget* ObrazWindow::MakeCommandRow() {
  auto* row = new QWidget;
  portList_ = new QComboBox;
  portList_->setObjectName(QStringLiteral("portList"));
  auto* save = new QPushButton(Text("Zapi&sz bitmapę…"));
  save->setObjectName(QStringLiteral("saveButton"));
  auto* send = new QPushButton(Text("&Wyślij na tablicę"));
  send->setObjectName(QStringLiteral("sendButton"));
  stopButton_ = new QPushButton(Text("Zatrzyma&j"));
  stopButton_->setObjectName(QStringLiteral("stopButton"));
  stopButton_->setEnabled(false);  // only while a show plays
  auto* close = new QPushButton(Text("&Zamknij"));
  close->setObjectName(QStringLiteral("closeButton"));
  connect(save, &QPushButton::clicked, this, GuardedSlot(&ObrazWindow::SaveBitmap));
  connect(send, &QPushButton::clicked, this, GuardedSlot(&ObrazWindow::SendToBoard));
  connect(stopButton_, &QPushButton::clicked, this, GuardedSlot(&ObrazWindow::StopShow));
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  for (QPushButton* button : {save, send, stopButton_, close}) button->setAutoDefault(false);
  connect(portList_, &QComboBox::activated, this,
          [this](int index) { Guarded([&] { ports_->Pick(index); }); });

  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(BuddyLabel("&Port:", portList_));
  layout->addWidget(portList_);
  layout->addStretch(1);
  layout->addWidget(save);
  layout->addWidget(send);
  layout->addWidget(stopButton_);
  layout->addWidget(close);
  return row;
}

void ObrazWindow::ConnectKeys() {
  // Esc closes from anywhere in the window; Alt+O opens a picture from
  // any tab (the button itself is hidden while another tab is shown).
  auto* closeKey = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(closeKey, &QShortcut::activated, this, &QWidget::close);
  auto* openKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_O), this);
  connect(openKey, &QShortcut::activated, this, GuardedSlot(&ObrazWindow::ChoosePicture));
}

void ObrazWindow::FirstShowing() {
  Guarded([&] { ports_->OpenFromSettings(Services().settingsFile); });
}

void ObrazWindow::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (!urls.isEmpty() && urls.front().isLocalFile()) event->acceptProposedAction();
}

void ObrazWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.front().isLocalFile()) return;
  event->acceptProposedAction();
  const QString path = urls.front().toLocalFile();
  Guarded([&] { OpenFile(path); });
}

SourceTab& ObrazWindow::CurrentSource() const {
  return *static_cast<SourceTab*>(sourceTabs_->currentWidget());
}

void ObrazWindow::ChoosePicture() {
  const FileChoice choice{Text(obraz_texts::kOpenTitle), PictureFilter(), QString(), lastPicture_};
  const std::optional<QString> chosen = openChooser_.ChooseFile(this, choice);
  if (chosen) OpenPicture(*chosen);
}

bool ObrazWindow::OpenPicture(const QString& path) {
  lastPicture_ = path;
  const std::string refusal = pictureTab_->Open(path);
  if (!refusal.empty()) {
    ShowMessage(refusal);
    return false;
  }
  const QSignalBlocker quiet(sourceTabs_);
  sourceTabs_->setCurrentWidget(pictureTab_);
  UpdatePreview();
  return true;
}

bool ObrazWindow::OpenFile(const QString& path) {
  return IsShowFile(path) ? OpenShow(path) : OpenPicture(path);
}

bool ObrazWindow::OpenShow(const QString& path) {
  if (!showTab_->OpenShow(ToPath(path))) return false;
  sourceTabs_->setCurrentWidget(showTab_);
  return true;
}

void ObrazWindow::UpdatePreview() {
  const picture::DotsResult result = CurrentSource().MakeDots();
  preview_->SetEdges(CurrentSource().ZoneEdges());
  if (result.Ok()) {
    dots_ = result.dots;
    refusal_.clear();
    preview_->SetDots(result.dots);
    status_->clear();
  } else {
    // The last good preview stays; the line under it says why this one is not.
    dots_.reset();
    refusal_ = result.error;
    status_->setText(QString::fromStdString(result.error));
  }
}

bool ObrazWindow::CurrentDotsOrSay() {
  if (dots_) return true;
  ShowMessage(refusal_);
  return false;
}

void ObrazWindow::SaveBitmap() {
  if (!CurrentDotsOrSay()) return;
  const FileChoice choice{Text(obraz_texts::kSaveTitle), Text(obraz_texts::kBitmapFilter),
                          QStringLiteral("bmp"), lastBitmap_};
  const std::optional<QString> chosen = saveChooser_.ChooseFile(this, choice);
  if (!chosen) return;
  lastBitmap_ = *chosen;
  const std::string refusal = picture::WriteDotsBmp(*dots_, ToPath(*chosen));
  if (!refusal.empty()) ShowMessage(refusal);
}

void ObrazWindow::SendToBoard() {
  if (play_) {
    // The session is the play's until it ends: this Send comes after it,
    // once the frame in flight is written.
    sendAfterPlay_ = true;
    StopShow();
    return;
  }
  if (&CurrentSource() == showTab_) {
    PlayShow();
    return;
  }
  if (!CurrentDotsOrSay()) return;
  // The board gets exactly the bitmap "Zapisz bitmapę…" would write, through
  // the session's Send and its rules, as the main window's "Wyślij".
  Session().Send(*dots_);
}

void ObrazWindow::PlayShow() {
  show::TimelineResult made = showTab_->BoardTimeline();
  if (!made.timeline) {
    ShowMessage(show::Sentence(made.error));
    return;
  }
  if (Session().PortNumber() == kNoPort) {
    // With no port the Send says so, and writes nothing.
    Session().Send(BoardDots());
    return;
  }
  play_ = std::make_unique<BoardPlay>(Session(), sessionMessages_, std::move(made.timeline));
  // Sent from the play's thread, each arrives here as a queued call.
  connect(play_.get(), &BoardPlay::FrameWritten, this,
          [this](int page, long long frames, long long failed) {
            QString state =
                Text("Pokaz gra na tablicy: strona %1, klatek %2").arg(page + 1).arg(frames);
            if (failed > 0) state += Text(" (nieudanych %1)").arg(failed);
            SetBoardStatus(state + QLatin1Char('.'));
          });
  connect(play_.get(), &BoardPlay::Said, this, [this](const QString& line) {
    lastSaid_ = line;
    SetBoardStatus(playState_);
  });
  connect(play_.get(), &BoardPlay::Ended, this,
          [this](bool stopped) { Guarded([&] { PlayEnded(stopped); }); });
  portList_->setEnabled(false);
  stopButton_->setEnabled(true);
  lastSaid_.clear();
  SetBoardStatus(Text("Pokaz gra na tablicy."));
  showTab_->RestartPreview();
  play_->Start();
}

void ObrazWindow::StopShow() {
  if (!play_) return;
  play_->Stop();
  stopButton_->setEnabled(false);
  SetBoardStatus(Text("Pokaz kończy się po klatce, która właśnie idzie do tablicy."));
}

void ObrazWindow::PlayEnded(bool stopped) {
  play_.reset();
  portList_->setEnabled(true);
  stopButton_->setEnabled(false);
  SetBoardStatus(WithTime(stopped ? "Pokaz zatrzymany." : "Pokaz skończony."));
  if (sendAfterPlay_) {
    sendAfterPlay_ = false;
    SendToBoard();
  }
}

void ObrazWindow::SetBoardStatus(const QString& state) {
  playState_ = state;
  boardStatus_->setText(lastSaid_.isEmpty() ? state : state + QLatin1Char('\n') + lastSaid_);
}

}  // namespace tablica
