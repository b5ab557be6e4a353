#include "obraz/obraz_window.h"

#include <utility>

#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "board/bitmap.h"
#include "board/send_command.h"
#include "obraz/board_preview.h"
#include "shell/TZapisBitmapy.h"
#include "shell/guarded_call.h"

namespace tablica {
namespace {

QString Text(const char* utf8) {
  return QString::fromUtf8(utf8);
}

// A label whose underlined letter moves the focus to `buddy`.
QLabel* BuddyLabel(const char* text, QWidget* buddy) {
  auto* label = new QLabel(Text(text));
  label->setBuddy(buddy);
  return label;
}

template <class Value>
QComboBox* ChoiceList(const char* name,
                      std::initializer_list<std::pair<const char*, Value>> entries) {
  auto* list = new QComboBox;
  list->setObjectName(QString::fromLatin1(name));
  for (const auto& [text, value] : entries) list->addItem(Text(text), static_cast<int>(value));
  return list;
}

template <class Value>
Value ChosenValue(const QComboBox& list) {
  return static_cast<Value>(list.currentData().toInt());
}

QString PictureFilter() {
  QStringList patterns;
  for (const QByteArray& format : QImageReader::supportedImageFormats()) {
    patterns << QStringLiteral("*.") + QString::fromLatin1(format);
  }
  return Text("Obrazy (") + patterns.join(QLatin1Char(' ')) + Text(");;Wszystkie pliki (*)");
}

std::filesystem::path ToPath(const QString& text) {
  return std::filesystem::path(text.toStdU16String());
}

}  // namespace

ObrazWindow::ObrazWindow(ObrazServices services, QWidget* parent)
    : QWidget(parent), services_(std::move(services)) {
  setWindowTitle(Text(obraz_texts::kTitle));
  setAcceptDrops(true);

  sourceTabs_ = new QTabWidget;
  sourceTabs_->setObjectName(QStringLiteral("sourceTabs"));
  sourceTabs_->addTab(MakePictureTab(), Text("O&braz"));
  sourceTabs_->addTab(MakeTextTab(), Text("&Tekst"));

  preview_ = new BoardPreview;
  preview_->setObjectName(QStringLiteral("preview"));
  status_ = new QLabel;
  status_->setObjectName(QStringLiteral("status"));
  status_->setWordWrap(true);

  auto* previewBox = new QGroupBox(Text("Tak pokaże to tablica"));
  auto* previewLayout = new QVBoxLayout(previewBox);
  previewLayout->addWidget(preview_);
  previewLayout->addWidget(status_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(sourceTabs_);
  layout->addWidget(previewBox, 1);
  layout->addWidget(MakeCommandRow());

  ports_ = std::make_unique<PortChoice>(*portList_, services_.link);
  ports_->Fill();
  ConnectHandlers();
  UpdatePreview();
}

ObrazWindow::~ObrazWindow() = default;

QWidget* ObrazWindow::MakePictureTab() {
  auto* tab = new QWidget;
  auto* open = new QPushButton(Text("&Otwórz obraz…"));
  open->setObjectName(QStringLiteral("openButton"));
  connect(open, &QPushButton::clicked, this, [this] { Guarded([&] { ChoosePicture(); }); });
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

  auto* layout = new QVBoxLayout(tab);
  layout->addLayout(fileRow);
  layout->addLayout(form);
  layout->addStretch(1);
  return tab;
}

QWidget* ObrazWindow::MakeTextTab() {
  auto* tab = new QWidget;
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

  auto* form = new QFormLayout(tab);
  form->addRow(BuddyLabel("Wiersz &1:", firstLine_), firstLine_);
  form->addRow(BuddyLabel("Wiersz &2:", secondLine_), secondLine_);
  form->addRow(BuddyLabel("&Czcionka:", font_), font_);
  form->addRow(BuddyLabel("&Rozmiar:", size_), size_);
  form->addRow(BuddyLabel("Wyrówn&anie:", align_), align_);
  return tab;
}

QWidget* ObrazWindow::MakeCommandRow() {
  auto* row = new QWidget;
  portList_ = new QComboBox;
  portList_->setObjectName(QStringLiteral("portList"));
  auto* save = new QPushButton(Text("Zapi&sz bitmapę…"));
  save->setObjectName(QStringLiteral("saveButton"));
  auto* send = new QPushButton(Text("&Wyślij na tablicę"));
  send->setObjectName(QStringLiteral("sendButton"));
  auto* close = new QPushButton(Text("&Zamknij"));
  close->setObjectName(QStringLiteral("closeButton"));
  connect(save, &QPushButton::clicked, this, [this] { Guarded([&] { SaveBitmap(); }); });
  connect(send, &QPushButton::clicked, this, [this] { Guarded([&] { SendToBoard(); }); });
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  for (QPushButton* button : {save, send, close}) button->setAutoDefault(false);

  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(BuddyLabel("&Port:", portList_));
  layout->addWidget(portList_);
  layout->addStretch(1);
  layout->addWidget(save);
  layout->addWidget(send);
  layout->addWidget(close);
  return row;
}

void ObrazWindow::ConnectHandlers() {
  const auto update = [this] { Guarded([&] { UpdatePreview(); }); };
  connect(sourceTabs_, &QTabWidget::currentChanged, this, update);
  for (QComboBox* list : {placement_, dotsMethod_, lit_, align_}) {
    connect(list, &QComboBox::currentIndexChanged, this, update);
  }
  connect(font_, &QComboBox::currentTextChanged, this, update);
  connect(level_, &QSlider::valueChanged, this, [this](int value) {
    levelValue_->setNum(value);
    Guarded([&] { UpdatePreview(); });
  });
  connect(size_, &QSpinBox::valueChanged, this, update);
  connect(firstLine_, &QLineEdit::textChanged, this, update);
  connect(secondLine_, &QLineEdit::textChanged, this, update);
  connect(portList_, &QComboBox::activated, this,
          [this](int index) { Guarded([&] { ports_->Pick(index); }); });

  // Esc closes from anywhere in the window; Alt+O opens a picture from
  // either tab (the button itself is hidden while the text tab is shown).
  auto* closeKey = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(closeKey, &QShortcut::activated, this, &QWidget::close);
  auto* openKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_O), this);
  connect(openKey, &QShortcut::activated, this, [this] { Guarded([&] { ChoosePicture(); }); });
}

void ObrazWindow::setVisible(bool visible) {
  if (visible && !shown_) {
    shown_ = true;
    Guarded([&] { ports_->OpenFromSettings(services_.settingsFile); });
  }
  QWidget::setVisible(visible);
}

template <class Handler>
void ObrazWindow::Guarded(Handler&& handler) {
  // A command that fails unexpectedly is reported and the window goes on.
  GuardedCall(services_.showError, std::forward<Handler>(handler));
}

void ObrazWindow::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (!urls.isEmpty() && urls.front().isLocalFile()) event->acceptProposedAction();
}

void ObrazWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.front().isLocalFile()) return;
  event->acceptProposedAction();
  Guarded([&] { OpenPicture(urls.front().toLocalFile()); });
}

void ObrazWindow::ChoosePicture() {
  const FileChoice choice{Text(obraz_texts::kOpenTitle), PictureFilter(), QString(), lastPicture_};
  const std::optional<QString> chosen = services_.openChooser.ChooseFile(this, choice);
  if (chosen) OpenPicture(*chosen);
}

bool ObrazWindow::OpenPicture(const QString& path) {
  lastPicture_ = path;
  const std::string refusal =
      picture_.Open(ToPath(path), ChosenValue<picture::Placement>(*placement_));
  if (!refusal.empty()) {
    services_.showMessage(refusal);
    return false;
  }
  pictureName_->setText(path);
  const QSignalBlocker quiet(sourceTabs_);
  sourceTabs_->setCurrentIndex(0);
  UpdatePreview();
  return true;
}

bool ObrazWindow::TextIsTheSource() const {
  return sourceTabs_->currentIndex() == 1;
}

picture::ConvertOptions ObrazWindow::ReadChoices() const {
  picture::ConvertOptions options;
  if (TextIsTheSource()) {
    for (const QLineEdit* line : {firstLine_, secondLine_}) {
      if (!line->text().isEmpty()) options.text.push_back(line->text().toStdString());
    }
    const QString font = font_->currentText().trimmed();
    if (font != font_->itemText(0)) options.font = font.toStdString();
    if (size_->value() > 0) options.size = size_->value();
    options.align = ChosenValue<picture::Alignment>(*align_);
    return options;
  }
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

void ObrazWindow::UpdatePreview() {
  level_->setEnabled(ChosenValue<DotsChoice>(*dotsMethod_) == DotsChoice::Threshold);
  const picture::ConvertOptions options = ReadChoices();
  // No text typed yet is a blank board, as is no picture opened yet.
  const picture::DotsResult result = !TextIsTheSource()  ? picture_.Convert(options)
                                     : options.HasText() ? picture::RenderText(options)
                                                         : picture::DotsResult{};
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
  services_.showMessage(refusal_);
  return false;
}

void ObrazWindow::SaveBitmap() {
  if (!CurrentDotsOrSay()) return;
  const FileChoice choice{Text(obraz_texts::kSaveTitle), Text(obraz_texts::kBitmapFilter),
                          QStringLiteral("bmp"), lastBitmap_};
  const std::optional<QString> chosen = services_.saveChooser.ChooseFile(this, choice);
  if (!chosen) return;
  lastBitmap_ = *chosen;
  const std::string refusal = picture::WriteDotsBmp(*dots_, ToPath(*chosen));
  if (!refusal.empty()) services_.showMessage(refusal);
}

void ObrazWindow::SendToBoard() {
  if (!CurrentDotsOrSay()) return;
  // The board gets exactly the bitmap "Zapisz bitmapę…" would write, through
  // the main window's Send command and its rules.
  const Bitmap bitmap = DotsToBitmap(*dots_);
  const Bitmap none;
  RunSendCommand(services_.link, services_.frame, services_.showMessage,
                 SendRequest{bitmap, none, false, false});
}

}  // namespace tablica
