#pragma once

#include <memory>
#include <optional>
#include <string>

#include <QString>

#include "board/board_dots.h"
#include "obraz/show_tab.h"
#include "window_parts/board_window.h"
#include "window_parts/file_dialogs.h"
#include "window_parts/port_choice.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTabWidget;

namespace tablica {

class BoardPlay;
class BoardPreview;
class PictureTab;
class SessionMessages;
class SourceTab;

namespace obraz_texts {
inline constexpr const char* kTitle = "Przygotowanie obrazu dla tablicy";
inline constexpr const char* kOpenTitle = "Otwórz obraz";
inline constexpr const char* kSaveTitle = "Zapisz bitmapę dla tablicy";
inline constexpr const char* kBitmapFilter = "Bitmapa (*.bmp)";
}  // namespace obraz_texts

// The window that prepares a picture or two lines of text for the board,
// or a show of pages: the source tabs with the conversion's choices, a
// preview of the board's dots that follows every change (and plays a
// show), and the commands that save the bitmap or send it (play the show).
// The two file dialogs, like the services and the session's messages,
// outlive the window.
//
// A show plays to the board from a thread of its own (BoardPlay), which has
// the session to itself until the play ends: meanwhile the port list is
// disabled, and "Wyślij na tablicę" stops the play after the frame in
// flight and then sends (or plays again) as usual.
class ObrazWindow final : public BoardWindow {
  Q_OBJECT

 public:
  // `sessionMessages` is what the session was made with: it hands the
  // messages said while a show plays to the window's status line.
  ObrazWindow(BoardWindowServices services, FileChooser& openChooser, FileChooser& saveChooser,
              SessionMessages& sessionMessages, AskFn ask, QWidget* parent = nullptr);
  ~ObrazWindow() override;

  // Opens a picture file as the source (the command line, a dropped file
  // and the open dialog all come here). False when it cannot be read: the
  // message has been shown and the previous source stays.
  bool OpenPicture(const QString& path);
  // Opens a show file in the "Pokaz" tab, which is then shown. False when
  // it cannot be read.
  bool OpenShow(const QString& path);
  // A show file (*.json) as OpenShow, any other as OpenPicture: a file named
  // on the command line or dropped on the window.
  bool OpenFile(const QString& path);
  // Whether a show is playing to the board.
  bool Playing() const { return play_ != nullptr; }

  // The dots the preview shows, or nothing while the current choices are
  // refused (the reason is shown under the preview).
  const std::optional<BoardDots>& CurrentDots() const { return dots_; }

 protected:
  // The first showing opens the port named in the settings file.
  void FirstShowing() override;
  // The session is the show's while one plays.
  bool SessionBusy() const override { return play_ != nullptr; }
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
  void PlayShow();
  void StopShow();
  void PlayEnded(bool stopped);
  void SetBoardStatus(const QString& state);
  void UpdatePreview();
  bool CurrentDotsOrSay();

  FileChooser& openChooser_;  // "Otwórz obraz…"
  FileChooser& saveChooser_;  // "Zapisz bitmapę…"
  SessionMessages& sessionMessages_;
  std::optional<BoardDots> dots_;
  std::string refusal_;  // why the current choices give no dots
  QString lastPicture_;
  QString lastBitmap_;

  QTabWidget* sourceTabs_ = nullptr;
  PictureTab* pictureTab_ = nullptr;
  ShowTab* showTab_ = nullptr;
  BoardPreview* preview_ = nullptr;
  QLabel* status_ = nullptr;
  QLabel* boardStatus_ = nullptr;  // a playing show's state and its last message
  QString playState_;
  QString lastSaid_;  // the play's last message, with its local time
  QComboBox* portList_ = nullptr;
  QPushButton* stopButton_ = nullptr;
  std::unique_ptr<PortChoice> ports_;
  bool sendAfterPlay_ = false;       // a Send waits for the play to end
  std::unique_ptr<BoardPlay> play_;  // last: the play ends before the rest goes
};

}  // namespace tablica
