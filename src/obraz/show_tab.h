#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/show_message.h"
#include "obraz/source_tab.h"
#include "show/show_model.h"
#include "show/show_timeline.h"

class QComboBox;
class QLabel;
class QListWidget;
class QMenu;

namespace tablica {

class FileChooser;
class PageFields;
class PictureTab;
class LiveFields;
class PreviewPlayer;
class TextTab;
class WhenFields;
class ZoneFields;

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
  std::vector<QRect> ZoneEdges() const override;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  // Where a page's or a zone's content comes from.
  enum class Source { Picture, Text, Scroll, Clock, Animation, Departures, Data };

  // The sources as a menu whose choice `use`s the page made; the actions
  // are named "addTextPage", "addTextZone"… after `suffix`.
  QMenu* MakeSourceMenu(const char* suffix, void (ShowTab::*use)(Source));
  QMenu* MakeFileMenu();
  QWidget* MakeFields();
  QWidget* MakeZones();
  QWidget* MakeWhen();
  QWidget* MakeLive();
  template <class Command>
  void Guarded(Command&& command);

  // A page made from `source`; none when the source has nothing yet (said).
  // A clock for a zone is the time alone (a zone is a part of the board).
  std::optional<show::PageModel> PageFrom(Source source, bool zone);
  void AddPageFrom(Source source);
  void AddPage(show::PageModel page);
  // `source`'s content joins the chosen page as a zone over the others.
  void AddZoneFrom(Source source);
  void MovePage(int by);
  void RemovePage();
  void MoveZone(int by);
  void RemoveZone();
  void PlaceZone(QRect place);
  void EditLive(show::LiveModel live);
  void ChooseFeed();
  void ChooseShow();
  void SaveShow();

  int Current() const;
  int CurrentZone() const;
  void ShowPages(int select, int zone = 0);
  void ShowFields(int zone);
  // The pages changed: the list, the fields and the preview follow, with
  // page `select` and its zone `zone` chosen.
  void PagesChanged(int select, int zone = 0);
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
  ZoneFields* zones_ = nullptr;
  WhenFields* when_ = nullptr;
  LiveFields* live_ = nullptr;
  QLabel* fileName_ = nullptr;
  QComboBox* showTransition_ = nullptr;
};

}  // namespace tablica
