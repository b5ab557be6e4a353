#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "common/show_message.h"
#include "obraz/source_tab.h"
#include "show/show_model.h"
#include "show/show_timeline.h"

class QLabel;
class QListWidget;
class QMenu;

namespace tablica {

class FileChooser;
class PageFields;
class PictureTab;
class PreviewPlayer;
class TextTab;

// A question with a yes or no answer (true: yes).
using AskFn = std::function<bool(const std::string& question)>;

// The "Pokaz" tab: the pages of a show in a list, each added from what the
// other tabs hold (the picture with its choices, the text, the text as a
// scrolling line) or made here (a clock, an animation from a file); moved,
// removed, timed; the show file opened and saved. The preview plays the
// show as the board will, and the window plays it to the board.
class ShowTab final : public SourceTab {
  Q_OBJECT

 public:
  // What the tab works with but does not own; all of it outlives the tab.
  struct Services {
    FileChooser& openChooser;   // show files and animations
    FileChooser& saveChooser;   // show files
    ShowMessageFn showMessage;  // why a command did nothing
    ShowMessageFn showError;    // an exception that escaped a command
    AskFn ask;                  // whether pages not saved may go
  };

  ShowTab(const PictureTab& pictures, const TextTab& texts, Services services,
          QWidget* parent = nullptr);
  ~ShowTab() override;

  // The board at this moment of the preview's play, or why the show
  // cannot be played.
  picture::DotsResult MakeDots() override;

  const show::ShowModel& Show() const { return show_; }
  // The show as the board gets it, checked as its file would be when read
  // (so what plays is what the file plays), every picture read.
  show::TimelineResult BoardTimeline() const;
  // Opens a show file in place of the pages. False when it cannot be
  // read: the message has been shown and the pages stay.
  bool OpenShow(const std::filesystem::path& file);
  // The preview plays from the start again (the board's play has begun).
  void RestartPreview();
  void FocusPages();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  QMenu* MakeAddMenu();
  QMenu* MakeFileMenu();
  QWidget* MakeFields();
  template <class Command>
  void Guarded(Command&& command);

  void AddPage(show::PageModel page);
  void AddPicture();
  void AddText(bool scrolling);
  void AddAnimation();
  void MovePage(int by);
  void RemovePage();
  void ChooseShow();
  void SaveShow();

  int Current() const;
  void ShowPages(int select);
  void ShowFields();
  // The pages changed: the list, the fields and the preview follow.
  void PagesChanged(int select);
  std::filesystem::path Folder() const;

  const PictureTab& pictures_;
  const TextTab& texts_;
  Services services_;
  show::ShowModel show_;
  std::filesystem::path file_;  // where the show was opened from or saved to
  bool saved_ = true;           // no page changed since
  std::string refusal_;         // why the show cannot be played, when it cannot
  PreviewPlayer* preview_ = nullptr;

  QListWidget* pages_ = nullptr;
  PageFields* fields_ = nullptr;
  QLabel* fileName_ = nullptr;
};

}  // namespace tablica
