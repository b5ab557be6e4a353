#pragma once

#include <memory>
#include <optional>
#include <string>

#include <QString>

#include "board/board_dots.h"
#include "window_parts/board_window.h"
#include "window_parts/file_dialogs.h"
#include "window_parts/port_choice.h"

class QComboBox;
class QLabel;
class QTabWidget;

namespace tablica {

class BoardPreview;
class PictureTab;
class SourceTab;

namespace obraz_texts {
inline constexpr const char* kTitle = "Przygotowanie obrazu dla tablicy";
inline constexpr const char* kOpenTitle = "Otwórz obraz";
inline constexpr const char* kSaveTitle = "Zapisz bitmapę dla tablicy";
inline constexpr const char* kBitmapFilter = "Bitmapa (*.bmp)";
}  // namespace obraz_texts

// The window that prepares a picture or two lines of text for the board:
// the source tabs with the conversion's choices, a preview of the board's
// dots that follows every change, and the commands that save the bitmap or
// send it. The two file dialogs, like the services, outlive the window.
class ObrazWindow final : public BoardWindow {
  Q_OBJECT

 public:
  ObrazWindow(BoardWindowServices services, FileChooser& openChooser, FileChooser& saveChooser,
              QWidget* parent = nullptr);
  ~ObrazWindow() override;

  // Opens a picture file as the source (the command line, a dropped file
  // and the open dialog all come here). False when it cannot be read: the
  // message has been shown and the previous source stays.
  bool OpenPicture(const QString& path);

  // The dots the preview shows, or nothing while the current choices are
  // refused (the reason is shown under the preview).
  const std::optional<BoardDots>& CurrentDots() const { return dots_; }

 protected:
  // The first showing opens the port named in the settings file.
  void FirstShowing() override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void AddSource(SourceTab* tab, const char* caption);
  QWidget* MakeCommandRow();
  void ConnectKeys();

  SourceTab& CurrentSource() const;
  void ChoosePicture();
  void SaveBitmap();
  void SendToBoard();
  void UpdatePreview();
  bool CurrentDotsOrSay();

  FileChooser& openChooser_;  // "Otwórz obraz…"
  FileChooser& saveChooser_;  // "Zapisz bitmapę…"
  std::optional<BoardDots> dots_;
  std::string refusal_;  // why the current choices give no dots
  QString lastPicture_;
  QString lastBitmap_;

  QTabWidget* sourceTabs_ = nullptr;
  PictureTab* pictureTab_ = nullptr;
  BoardPreview* preview_ = nullptr;
  QLabel* status_ = nullptr;
  QComboBox* portList_ = nullptr;
  std::unique_ptr<PortChoice> ports_;
};

}  // namespace tablica
