#pragma once

#include <filesystem>
#include <memory>

#include <QString>
#include <QWidget>

#include "board/bitmap.h"
#include "board/board_frame.h"
#include "serial/comm_settings.h"
#include "serial/serial_link.h"
#include "shell/file_chooser.h"
#include "shell/guarded_call.h"
#include "shell/port_choice.h"

class QLabel;
class QLineEdit;

namespace Ui {
class TZapisBitmapy;
}

namespace tablica {

// The window's texts that are not in its layout.
namespace messages {
inline constexpr const char* kChooseBitmapTitle = "Wybierz plik z bitmapą do wysłania.";
inline constexpr const char* kBitmapFilter = "Bitmapa (*.bmp)";
inline constexpr const char* kBitmapSuffix = "BMP";
inline constexpr const char* kCannotOpenFile = "Nie mogę otworzyc pliku";  // + path + "."
}  // namespace messages

// Everything the window works with but does not own. All of it outlives
// the window; tests hand in fakes.
struct WindowServices {
  SerialLink& link;  // the one port; the port number lives in its settings
  BoardFrame& frame;
  FileChooser& fileChooser;
  ShowMessageFn showMessage;  // the program's own messages
  ShowMessageFn showError;    // an exception that escaped a command
  std::filesystem::path settingsFile = kSettingsFileName;
};

// The main window: the port list, the two bitmap choices with their views,
// the CAN check box, "&Wyślij" and "&Zamknij". It keeps the open port in
// step with the port list and owns the two bitmaps from its first showing
// to its closing.
class TZapisBitmapy final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kPortEntries = PortChoice::kPortEntries;
  static constexpr int kNoPortIndex = PortChoice::kNoPortIndex;  // "Brak"

  explicit TZapisBitmapy(WindowServices services, QWidget* parent = nullptr);
  ~TZapisBitmapy() override;

  // The first showing runs FormShow before the window appears, so a
  // message about the port comes before the window does.
  void setVisible(bool visible) override;

  // The pictures the Send command packs; null before the first showing and
  // after closing.
  const Bitmap* FirstBitmap() const { return firstBitmap_.get(); }
  const Bitmap* SecondBitmap() const { return secondBitmap_.get(); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum class Stage { Created, Running, Closed };

  void FormCreate();
  void FormShow();
  void ComboBox1Change(int index);
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();
  void CheckBox1Click();
  bool FormKeyDown(int key, Qt::KeyboardModifiers shift);
  void FormClose();

  void SetUpWindow();
  void ConnectHandlers();
  void CentreOnScreen();
  void ChooseBitmapFile(QLineEdit& nameBox, Bitmap& bitmap, QLabel& view);
  bool AcceptsCommands() const;
  bool ReceivesKeysFor(const QWidget& widget) const;
  template <class Handler>
  void Guarded(Handler&& handler);

  std::unique_ptr<Ui::TZapisBitmapy> ui_;
  WindowServices services_;
  std::unique_ptr<PortChoice> ports_;  // the port list, made with the layout
  Stage stage_ = Stage::Created;
  std::unique_ptr<Bitmap> firstBitmap_;
  std::unique_ptr<Bitmap> secondBitmap_;
  QString lastChosenFile_;  // the dialog proposes it next time, for either button
};

}  // namespace tablica
