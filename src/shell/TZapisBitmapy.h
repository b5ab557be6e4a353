#pragma once

#include <memory>

#include <QString>

#include "board/bitmap.h"
#include "window_parts/board_window.h"
#include "window_parts/file_dialogs.h"
#include "window_parts/port_choice.h"

class QLabel;
class QLineEdit;

namespace Ui {
class TZapisBitmapy;
}

namespace tablica {

// The program's title: the window's caption and every message box's caption.
inline constexpr const char* kApplicationTitle = "Zapis bitmapy do tablicy informacyjnej.";

// The window's texts that are not in its layout.
namespace messages {
inline constexpr const char* kChooseBitmapTitle = "Wybierz plik z bitmapą do wysłania.";
inline constexpr const char* kBitmapFilter = "Bitmapa (*.bmp)";
inline constexpr const char* kBitmapSuffix = "BMP";
inline constexpr const char* kCannotOpenFile = "Nie mogę otworzyc pliku";  // + path + "."
}  // namespace messages

// The main window: the port list, the two bitmap choices with their views,
// the CAN check box, "&Wyślij" and "&Zamknij". It keeps the open port in
// step with the port list and owns the two bitmaps from its first showing
// to its closing. The file dialog, like the services, outlives the window.
class TZapisBitmapy final : public BoardWindow {
  Q_OBJECT

 public:
  static constexpr int kPortEntries = PortChoice::kPortEntries;
  static constexpr int kNoPortIndex = PortChoice::kNoPortIndex;  // "Brak"

  TZapisBitmapy(BoardWindowServices services, FileChooser& fileChooser, QWidget* parent = nullptr);
  ~TZapisBitmapy() override;

  // The pictures the Send command packs; null before the first showing and
  // after closing.
  const Bitmap* FirstBitmap() const { return firstBitmap_.get(); }
  const Bitmap* SecondBitmap() const { return secondBitmap_.get(); }

 protected:
  // The first showing runs FormShow before the window appears.
  void FirstShowing() override;
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

  std::unique_ptr<Ui::TZapisBitmapy> ui_;
  FileChooser& fileChooser_;
  std::unique_ptr<PortChoice> ports_;  // the port list, made with the layout
  Stage stage_ = Stage::Created;
  std::unique_ptr<Bitmap> firstBitmap_;
  std::unique_ptr<Bitmap> secondBitmap_;
  QString lastChosenFile_;  // the dialog proposes it next time, for either button
};

}  // namespace tablica
