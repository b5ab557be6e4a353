#pragma once

// Plays content to the board at the pace of the wire: a show, a picture or
// text (a show of one page), or a blank board, interrupted by notifications
// from a queue of priorities (they last their seconds, or until
// cancelled). A frame is made for the moment it will reach the board (now
// plus the time its bytes take on the line) and written when the line can
// take it; one that would come late is skipped, never queued, so the board
// never lags the show. A frame is written only when some dot changed (a
// zone moved, a clock turned), and again every `refresh`. A failed frame
// is followed by a pause, and the show goes on.
//
// Run() plays on the calling thread (a session worker's job, or a
// program's main thread) until its stop token is asked to stop, always
// finishing the frame in flight. Everything else may be called from any
// thread while it runs.

#include <QDateTime>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "board/board_dots.h"
#include "common/show_message.h"
#include "show/board_output.h"
#include "show/notice_queue.h"
#include "show/show_clock.h"
#include "show/show_timeline.h"

namespace tablica::show {

// What the board is given, as a status tells it.
enum class Showing { Nothing, Picture, Text, Show, Notification, Blank };
std::string_view NameOf(Showing showing);  // "picture", "text", "show", ...

// One frame written (or tried).
struct FrameRecord {
  BoardDots first;
  std::optional<BoardDots> second;
  QDateTime moment;  // local time the frame was made for: its last byte at the board
  bool ok = true;
  std::vector<std::string> messages;  // what the link said about it
};

struct PlayerStatus {
  Showing showing = Showing::Nothing;
  int page = -1;          // the page of the show shown last (0-based)
  bool finished = false;  // the content's passes are over
  long long frames = 0;   // frames written
  long long failedFrames = 0;
  std::optional<FrameRecord> last;
  // Whether the board's port is open, and since when it is (or is not);
  // unset before the first change.
  bool reached = true;
  std::optional<std::chrono::system_clock::time_point> reachedSince;
};

struct PlayerOptions {
  // Run() returns once the content has played its passes (tablica-send);
  // otherwise it waits for the next content (a service).
  bool endWhenDone = false;
  // Messages of the player itself (a clock that no longer fits); the link's
  // go to the session's own.
  ShowMessageFn showMessage;
  // The first pause after a failed frame; it doubles while frames keep
  // failing, up to the longest.
  std::chrono::milliseconds failurePause{1000};
  std::chrono::milliseconds longestFailurePause{30000};
};

class ShowPlayer {
 public:
  ShowPlayer(ShowClock& clock, PlayerOptions options = {});
  ~ShowPlayer();
  ShowPlayer(const ShowPlayer&) = delete;
  ShowPlayer& operator=(const ShowPlayer&) = delete;

  // Plays `content` from its start instead of what plays now. `showing` is
  // how the status calls it (Picture, Text or Show).
  void Play(std::unique_ptr<ShowTimeline> content, Showing showing = Showing::Show);
  // Blanks the board (and the second board, when the content used it) at
  // once, notification or not; queued notifications wait, and show again
  // with the next content or notification.
  void Blank();
  // Queues a notification (see NoticeQueue): the id, unset when the queue
  // is full. When the queue is empty again the content goes on where it
  // would be by then (a still page is written again).
  std::optional<std::string> Notify(NoticeRequest request);
  // Shows `content` for `length` at the default priority.
  void Notify(std::unique_ptr<ShowTimeline> content, std::chrono::milliseconds length);
  bool CancelNotice(std::string_view id);
  std::size_t CancelNotices();
  std::vector<NoticeState> Notices() const;
  // Hears every frame written, on the playing thread, as it is written.
  void SetFrameObserver(std::function<void(const FrameRecord&)> observer);
  // Hears, on the playing thread, that the board's port went away or came
  // back (PlayerStatus::reached changed).
  void SetReachObserver(std::function<void()> observer);
  PlayerStatus Status() const;

  enum class Ended { Done, Stopped };
  Ended Run(BoardOutput& output, std::stop_token stop);

 private:
  struct Playing;
  struct Shared;
  void TakeCommands(Playing& playing);
  void Write(BoardOutput& output, Playing& playing, const Moment& moment, SteadyTime target,
             std::stop_token stop);
  void Report(const std::vector<std::string>& problems, Playing& playing);
  // Looks at a watched output's port and notes what it found.
  BoardReach Look(BoardOutput& output, Playing& playing);
  // Waits until `deadline`, but no longer than a watched output's look
  // allows.
  void Wait(BoardOutput& output, SteadyTime deadline, std::stop_token stop);

  ShowClock& clock_;
  PlayerOptions options_;
  WakeSignal wake_;
  std::unique_ptr<Shared> shared_;  // what other threads hand over and read
};

}  // namespace tablica::show
