#include "obraz/preview_player.h"

#include <QDateTime>
#include <chrono>

#include "serial/comm_settings.h"
#include "show/board_output.h"

namespace tablica {

namespace {

// A frame's time on the line: the board can show no more frames than this
// lets through (the second board's block makes each frame longer).
int FrameMilliseconds(bool secondBoard) {
  const auto wire = LineTime(WriteSize(secondBoard), CommSettings().baudRate);
  return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wire).count());
}

}  // namespace

PreviewPlayer::PreviewPlayer(QObject* parent) : QObject(parent) {
  frames_.setTimerType(Qt::PreciseTimer);
  frames_.setInterval(FrameMilliseconds(false));
  connect(&frames_, &QTimer::timeout, this, &PreviewPlayer::Frame);
}

PreviewPlayer::~PreviewPlayer() = default;

void PreviewPlayer::SetShow(std::unique_ptr<show::ShowTimeline> show) {
  show_ = std::move(show);
  if (show_) {
    show_->SetRepeat(0);  // round and round, whatever the show's passes
    show_->Start();       // departures and data lines come in the preview too
    frames_.setInterval(FrameMilliseconds(show_->UsesSecondBoard()));
  }
  Restart();
}

void PreviewPlayer::Restart() {
  sinceStart_.start();
  Frame();
  SetRunning(running_);
}

void PreviewPlayer::SetRunning(bool running) {
  running_ = running;
  if (running_ && show_) {
    if (!frames_.isActive()) frames_.start();
  } else {
    frames_.stop();
  }
}

void PreviewPlayer::Frame() {
  BoardDots dots;
  int page = -1;
  if (show_) {
    const show::Moment moment =
        show_->At(std::chrono::milliseconds(sinceStart_.elapsed()), QDateTime::currentDateTime());
    dots = moment.first;
    page = moment.page;
  }
  // A new page with the same dots still counts: its zones' edges differ.
  if (dots == dots_ && page == page_) return;
  page_ = page;
  dots_ = dots;
  emit DotsChanged();
}

}  // namespace tablica
