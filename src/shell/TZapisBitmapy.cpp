#include "shell/TZapisBitmapy.h"

#include <exception>
#include <string>
#include <utility>

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>

#include "session/board_session.h"
#include "shell/bitmap_image.h"
#include "shell/heading_label.h"
#include "shell/window_look.h"
#include "ui_TZapisBitmapy.h"
#include "window_parts/paths.h"

namespace tablica {
namespace {

constexpr int kWindowWidth = 421;
constexpr int kWindowHeight = 440;

}  // namespace

TZapisBitmapy::TZapisBitmapy(BoardWindowServices services, FileChooser& fileChooser,
                             QWidget* parent)
    : BoardWindow(std::move(services), parent),
      ui_(std::make_unique<Ui::TZapisBitmapy>()),
      fileChooser_(fileChooser) {
  ui_->setupUi(this);
  ports_ = std::make_unique<PortChoice>(*ui_->ComboBox1, Session());
  SetUpWindow();
  ConnectHandlers();
  FormCreate();
}

TZapisBitmapy::~TZapisBitmapy() = default;

void TZapisBitmapy::SetUpWindow() {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(kWindowWidth, kWindowHeight);
  setFont(BodyFont());
  ui_->Label1->setFont(HeadingFont());
  ui_->Label1->SetRawFont(HeadingFace());

  // The file-name boxes only show a path: disabled, on the button-face colour.
  for (QLineEdit* box : {ui_->Edit1, ui_->Edit2}) {
    QPalette palette = box->palette();
    palette.setColor(QPalette::Disabled, QPalette::Base, palette.color(QPalette::Button));
    box->setPalette(palette);
  }

  // No button is a default button: Enter clicks only the focused one (see
  // eventFilter), never one elsewhere in the window.
  for (QPushButton* button : {ui_->Button1, ui_->Button2, ui_->Button3, ui_->Button4}) {
    button->setAutoDefault(false);
    button->setDefault(false);
    // The underlined letter stays in the caption; the window's own
    // shortcuts below click the buttons, so the two "&O" captions never
    // make Alt+O hop between buttons instead of clicking.
    button->setShortcut(QKeySequence());
  }
  ui_->ComboBox1->setFocus();
  qApp->installEventFilter(this);
}

void TZapisBitmapy::ConnectHandlers() {
  // `activated` is the user's pick (mouse, arrow keys, wheel, typed letter):
  // one per change, re-picking the same entry included; selections made by
  // the window itself never raise it.
  connect(ui_->ComboBox1, &QComboBox::activated, this,
          [this](int index) { Guarded([&] { ComboBox1Change(index); }); });
  connect(ui_->Button1, &QPushButton::clicked, this, GuardedSlot(&TZapisBitmapy::Button1Click));
  connect(ui_->Button2, &QPushButton::clicked, this, GuardedSlot(&TZapisBitmapy::Button2Click));
  connect(ui_->Button3, &QPushButton::clicked, this, GuardedSlot(&TZapisBitmapy::Button3Click));
  connect(ui_->Button4, &QPushButton::clicked, this, GuardedSlot(&TZapisBitmapy::Button4Click));
  connect(ui_->CheckBox1, &QCheckBox::clicked, this, GuardedSlot(&TZapisBitmapy::CheckBox1Click));

  // Alt+O belongs to the first file button alone, also while the second
  // group is shown.
  const std::pair<QKeyCombination, QPushButton*> mnemonics[] = {
      {Qt::ALT | Qt::Key_W, ui_->Button1},
      {Qt::ALT | Qt::Key_Z, ui_->Button2},
      {Qt::ALT | Qt::Key_O, ui_->Button3},
  };
  for (const auto& [keys, button] : mnemonics) {
    auto* shortcut = new QShortcut(QKeySequence(keys), this);
    connect(shortcut, &QShortcut::activated, button, &QPushButton::click);
  }
}

void TZapisBitmapy::FirstShowing() {
  stage_ = Stage::Running;
  Guarded([&] { FormShow(); });
  CentreOnScreen();
}

void TZapisBitmapy::CentreOnScreen() {
  const QScreen* target = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
  if (target == nullptr) return;
  // The whole window is centred, its frame included: the system knows the
  // frame once the window exists (on Windows before it is first shown).
  winId();
  const QSize whole = frameGeometry().size();
  move(target->geometry().center() - QPoint(whole.width() / 2, whole.height() / 2));
}

void TZapisBitmapy::closeEvent(QCloseEvent* event) {
  Guarded([&] { FormClose(); });
  event->accept();
}

bool TZapisBitmapy::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || !AcceptsCommands()) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || !ReceivesKeysFor(*widget)) return false;
  const auto* key = static_cast<QKeyEvent*>(event);
  bool handled = false;
  Guarded([&] { handled = FormKeyDown(key->key(), key->modifiers()); });
  if (handled) return true;
  if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
    auto* button = qobject_cast<QPushButton*>(widget);
    if (button != nullptr && button->hasFocus()) {
      button->click();
      return true;
    }
  }
  return false;
}

bool TZapisBitmapy::ReceivesKeysFor(const QWidget& widget) const {
  // The window sees its own controls' keys first, the dropped-down port
  // list included (it still has the focus). A message box or the file
  // dialog handles its own Esc and Enter.
  const QWidget* top = widget.window();
  if (top == this) return true;
  if (top->windowType() != Qt::Popup) return false;
  for (const QWidget* owner = top->parentWidget(); owner != nullptr;
       owner = owner->parentWidget()) {
    if (owner == this) return true;
  }
  return false;
}

bool TZapisBitmapy::AcceptsCommands() const {
  return stage_ == Stage::Running && firstBitmap_ != nullptr && secondBitmap_ != nullptr;
}

void TZapisBitmapy::FormCreate() {
  ports_->Fill();
}

void TZapisBitmapy::FormShow() {
  ports_->OpenFromSettings(Services().settingsFile);
  firstBitmap_ = std::make_unique<Bitmap>();
  secondBitmap_ = std::make_unique<Bitmap>();
}

void TZapisBitmapy::ComboBox1Change(int index) {
  if (!AcceptsCommands()) return;
  ports_->Pick(index);
}

void TZapisBitmapy::Button1Click() {
  if (!AcceptsCommands()) return;
  const SendRequest request{*firstBitmap_, *secondBitmap_, ui_->CheckBox1->isChecked(),
                            !ui_->Edit2->text().isEmpty()};
  Session().Send(request);
}

void TZapisBitmapy::Button2Click() {
  close();
}

void TZapisBitmapy::Button3Click() {
  if (!AcceptsCommands()) return;
  ChooseBitmapFile(*ui_->Edit1, *firstBitmap_, *ui_->Image1);
}

void TZapisBitmapy::Button4Click() {
  if (!AcceptsCommands()) return;
  ChooseBitmapFile(*ui_->Edit2, *secondBitmap_, *ui_->Image2);
}

void TZapisBitmapy::ChooseBitmapFile(QLineEdit& nameBox, Bitmap& bitmap, QLabel& view) {
  const FileChoice choice{QString::fromUtf8(messages::kChooseBitmapTitle),
                          QString::fromUtf8(messages::kBitmapFilter),
                          QString::fromUtf8(messages::kBitmapSuffix), lastChosenFile_};
  const std::optional<QString> chosen = fileChooser_.ChooseFile(this, choice);
  if (!chosen) return;
  lastChosenFile_ = *chosen;
  nameBox.setText(*chosen);
  BitmapLoadResult loaded = LoadBitmapFile(ToPath(*chosen));
  const QImage picture = loaded.Ok() ? ToQImage(loaded.bitmap, view.size()) : QImage();
  if (picture.isNull()) {
    // The previous picture stays loaded and shown; the box names the new file.
    ShowMessage(messages::kCannotOpenFile + chosen->toStdString() + ".");
    return;
  }
  bitmap = std::move(loaded.bitmap);
  view.setPixmap(QPixmap::fromImage(picture));
}

void TZapisBitmapy::CheckBox1Click() {
  if (!AcceptsCommands()) return;
  ui_->GroupBox3->setVisible(ui_->CheckBox1->isChecked());
}

bool TZapisBitmapy::FormKeyDown(int key, Qt::KeyboardModifiers /*shift*/) {
  if (key != Qt::Key_Escape) return false;
  Button2Click();
  return true;
}

void TZapisBitmapy::FormClose() {
  // Commands still queued for the closing window find no bitmaps and do nothing.
  stage_ = Stage::Closed;
  firstBitmap_.reset();
  secondBitmap_.reset();
}

}  // namespace tablica
