#include "obraz/board_play.h"

#include <QDateTime>
#include <utility>

#include "show/board_output.h"

namespace tablica {

QString WithTime(const std::string& text) {
  return QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss ")) +
         QString::fromStdString(text);
}

SessionMessages::SessionMessages(ShowMessageFn onOwnThread)
    : onOwnThread_(std::move(onOwnThread)), ownThread_(std::this_thread::get_id()) {}

ShowMessageFn SessionMessages::Fn() {
  return [this](const std::string& text) { Say(text); };
}

void SessionMessages::ListenElsewhere(ShowMessageFn listener) {
  const std::lock_guard lock(mutex_);
  elsewhere_ = std::move(listener);
}

void SessionMessages::Say(const std::string& text) {
  if (std::this_thread::get_id() == ownThread_) {
    if (onOwnThread_) onOwnThread_(text);
    return;
  }
  ShowMessageFn listener;
  {
    const std::lock_guard lock(mutex_);
    listener = elsewhere_;
  }
  if (listener) listener(text);
}

BoardPlay::BoardPlay(BoardSession& session, SessionMessages& messages,
                     std::unique_ptr<show::ShowTimeline> show, QObject* parent)
    : QObject(parent),
      session_(session),
      messages_(messages),
      player_(clock_, show::PlayerOptions{
                          true, [this](const std::string& text) { emit Said(WithTime(text)); },
                          std::chrono::milliseconds(1000), std::chrono::milliseconds(30000)}) {
  player_.Play(std::move(show), show::Showing::Show);
  player_.SetFrameObserver([this](const show::FrameRecord&) {
    const show::PlayerStatus status = player_.Status();
    emit FrameWritten(status.page, status.frames, status.failedFrames);
  });
}

BoardPlay::~BoardPlay() {
  if (thread_.joinable()) {
    thread_.request_stop();
    thread_.join();
  }
  messages_.ListenElsewhere({});
}

void BoardPlay::Start() {
  if (thread_.joinable()) return;
  messages_.ListenElsewhere([this](const std::string& text) { emit Said(WithTime(text)); });
  thread_ = std::jthread([this](std::stop_token stop) {
    show::SessionOutput output(session_);
    const show::ShowPlayer::Ended ended = player_.Run(output, stop);
    emit Ended(ended == show::ShowPlayer::Ended::Stopped);
  });
}

void BoardPlay::Stop() {
  thread_.request_stop();
}

}  // namespace tablica
