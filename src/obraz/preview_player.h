#pragma once

// A show played for the preview on the window's own thread: the show's
// timeline asked, as often as a frame can go down the line to the board,
// what the board shows at that moment since the start.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <memory>

#include "board/board_dots.h"
#include "show/show_timeline.h"

namespace tablica {

class PreviewPlayer final : public QObject {
  Q_OBJECT

 public:
  explicit PreviewPlayer(QObject* parent = nullptr);
  ~PreviewPlayer() override;

  // Plays `show` from its start, round and round; null: a blank board.
  void SetShow(std::unique_ptr<show::ShowTimeline> show);
  // From the start again (a play to the board has begun with it).
  void Restart();
  // The frames come only while the preview is in sight.
  void SetRunning(bool running);

  const BoardDots& Dots() const { return dots_; }
  // The page the preview shows (0-based; -1 when none).
  int Page() const { return page_; }

 signals:
  void DotsChanged();

 private:
  void Frame();

  std::unique_ptr<show::ShowTimeline> show_;
  QElapsedTimer sinceStart_;
  QTimer frames_;
  BoardDots dots_;
  int page_ = -1;
  bool running_ = false;
};

}  // namespace tablica
