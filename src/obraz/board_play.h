#pragma once

// A show played to the board from a thread of its own, so that the window
// goes on answering while a frame waits on a slow or stuck line (a Send may
// take up to 30 s). For as long as it plays, that thread has the board
// session to itself: the window leaves the session alone (its port list is
// disabled; a Send asked for meanwhile waits until the play has ended).
// What the play has to say reaches the window's thread as queued signals.

#include <QObject>
#include <QString>
#include <memory>
#include <mutex>
#include <thread>

#include "common/show_message.h"
#include "show/show_clock.h"
#include "show/show_player.h"
#include "show/show_timeline.h"

namespace tablica {

class BoardSession;

// `text` after the local time ("12:45:07 ..."), as the play's messages are
// shown.
QString WithTime(const std::string& text);

// Where the board session's messages go, by the thread that says them. On
// the thread that made this (the window's) a message goes to the box at
// once, as it always has; said on another thread (a playing show's), it
// goes to the listener set for other threads, for no modal box may open
// there, and the play must not wait on the user.
class SessionMessages {
 public:
  explicit SessionMessages(ShowMessageFn onOwnThread);
  SessionMessages(const SessionMessages&) = delete;
  SessionMessages& operator=(const SessionMessages&) = delete;

  // The function to make the session with; it refers to this object.
  ShowMessageFn Fn();
  // Hears what other threads say from now on (empty: nobody does).
  void ListenElsewhere(ShowMessageFn listener);

 private:
  void Say(const std::string& text);

  ShowMessageFn onOwnThread_;
  std::thread::id ownThread_;
  std::mutex mutex_;
  ShowMessageFn elsewhere_;
};

class BoardPlay final : public QObject {
  Q_OBJECT

 public:
  // Nothing plays until Start(), so that the signals can be connected first.
  BoardPlay(BoardSession& session, SessionMessages& messages,
            std::unique_ptr<show::ShowTimeline> show, QObject* parent = nullptr);
  // Asks the play to stop and waits for the frame in flight.
  ~BoardPlay() override;

  void Start();
  // Ends the play after the frame in flight; Ended follows.
  void Stop();

 signals:
  // A frame was written (or tried): the page it showed (0-based), the
  // frames written so far, those of them that failed.
  void FrameWritten(int page, long long frames, long long failed);
  // A message of the link or the player, with the local time it was said.
  void Said(const QString& line);
  // The play is over: the show played its passes, or was stopped.
  void Ended(bool stopped);

 private:
  BoardSession& session_;
  SessionMessages& messages_;
  show::SystemClock clock_;
  show::ShowPlayer player_;
  std::jthread thread_;  // last: it stops before the rest goes
};

}  // namespace tablica
