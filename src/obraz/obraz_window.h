#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include <QWidget>

#include "board/board_frame.h"
#include "picture/convert.h"
#include "serial/comm_settings.h"
#include "serial/serial_link.h"
#include "shell/file_chooser.h"
#include "shell/port_choice.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QSpinBox;
class QTabWidget;

namespace tablica {

class BoardPreview;

namespace obraz_texts {
inline constexpr const char* kTitle = "Przygotowanie obrazu dla tablicy";
inline constexpr const char* kOpenTitle = "Otwórz obraz";
inline constexpr const char* kSaveTitle = "Zapisz bitmapę dla tablicy";
inline constexpr const char* kBitmapFilter = "Bitmapa (*.bmp)";
}  // namespace obraz_texts

// Everything the window works with but does not own; tests hand in fakes.
struct ObrazServices {
  SerialLink& link;  // the one port; the port number lives in its settings
  BoardFrame& frame;
  FileChooser& openChooser;   // "Otwórz obraz…"
  FileChooser& saveChooser;   // "Zapisz bitmapę…"
  ShowMessageFn showMessage;  // the program's own messages
  ShowMessageFn showError;    // an exception that escaped a command
  std::filesystem::path settingsFile = kSettingsFileName;
};

// The window that prepares a picture or two lines of text for the board:
// the source, the conversion's choices, a preview of the board's dots that
// follows every change, and the commands that save the bitmap or send it.
class ObrazWindow final : public QWidget {
  Q_OBJECT

 public:
  explicit ObrazWindow(ObrazServices services, QWidget* parent = nullptr);
  ~ObrazWindow() override;

  // The first showing opens the port named in the settings file.
  void setVisible(bool visible) override;

  // Opens a picture file as the source (the command line, a dropped file
  // and the open dialog all come here). False when it cannot be read: the
  // message has been shown and the previous source stays.
  bool OpenPicture(const QString& path);

  // The dots the preview shows, or nothing while the current choices are
  // refused (the reason is shown under the preview).
  const std::optional<BoardDots>& CurrentDots() const { return dots_; }

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // The dots choices as the list offers them; the library's threshold is
  // automatic or at a level.
  enum class DotsChoice { AutoThreshold, Threshold, Diffusion, Ordered };

  QWidget* MakePictureTab();
  QWidget* MakeTextTab();
  QWidget* MakeCommandRow();
  void ConnectHandlers();

  bool TextIsTheSource() const;
  void ChoosePicture();
  void SaveBitmap();
  void SendToBoard();
  void UpdatePreview();
  picture::ConvertOptions ReadChoices() const;
  bool CurrentDotsOrSay();
  template <class Handler>
  void Guarded(Handler&& handler);

  ObrazServices services_;
  picture::PreparedPicture picture_;  // the opened picture, decoded once
  std::optional<BoardDots> dots_;
  std::string refusal_;  // why the current choices give no dots
  bool shown_ = false;
  QString lastPicture_;
  QString lastBitmap_;

  QTabWidget* sourceTabs_ = nullptr;
  QLabel* pictureName_ = nullptr;
  QComboBox* placement_ = nullptr;
  QComboBox* dotsMethod_ = nullptr;
  QSlider* level_ = nullptr;
  QLabel* levelValue_ = nullptr;
  QComboBox* lit_ = nullptr;
  QLineEdit* firstLine_ = nullptr;
  QLineEdit* secondLine_ = nullptr;
  QComboBox* font_ = nullptr;
  QSpinBox* size_ = nullptr;
  QComboBox* align_ = nullptr;
  BoardPreview* preview_ = nullptr;
  QLabel* status_ = nullptr;
  QComboBox* portList_ = nullptr;
  std::unique_ptr<PortChoice> ports_;
};

}  // namespace tablica
