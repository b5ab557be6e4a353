#pragma once

// The board on the network, without the network: one object owns the
// board's port through a board session on a worker thread, and one player
// on that thread writes every frame, so bytes of different requests never
// mix on the wire. Requests hand it content (a picture, text, a show, or a
// page of a show), checked whole before anything changes on the board; it
// shows one content at a time, lets queued notifications interrupt it by
// their priorities, and tells what it does: a status, the dots the board shows now,
// and every frame written, to any number of observers (the live board of
// the web page, the MQTT publisher).
//
// Every member may be called from any thread at once (the HTTP server's
// workers, the MQTT client's thread). Observers are called on the writing
// thread as each frame is written, and must return quickly.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "board/board_dots.h"
#include "picture/convert_options.h"
#include "session/board_session.h"
#include "show/notice_queue.h"

namespace tablica::show {
class ShowClock;
}

namespace tablica::service {

// A line for the log (Polish); the log adds the local time.
using LogFn = std::function<void(const std::string& line)>;

// One frame written, or tried.
struct FrameEvent {
  BoardDots first;
  std::optional<BoardDots> second;  // the board behind CAN, when the content has one
  // The moment the frame was made for: its last byte at the board.
  std::chrono::system_clock::time_point at;
  bool ok = true;
  std::string message;  // what the link said about a failed frame (Polish)
};

struct LastSend {
  bool ok = true;
  std::chrono::system_clock::time_point at;
  std::string message;  // empty when it went well
};

// A request refused where no one hears the answer (an MQTT message).
struct Refusal {
  std::chrono::system_clock::time_point at;
  std::string message;  // Polish
};

// A source of the live content shown (departures, a data or RSS line).
struct LiveSourceStatus {
  std::string name;              // its address or file
  std::optional<long long> age;  // seconds since its last good answer; unset: none yet
  std::string fault;             // its last fault (Polish), or empty
};

struct ServiceStatus {
  std::optional<std::uint8_t> port;  // unset: no port chosen
  // Whether the board's port is open (false while its adapter is out or
  // with no port chosen), and since when it is (or is not).
  bool connected = false;
  std::chrono::system_clock::time_point connectedSince;
  std::string name;
  // "picture", "text", "show", "notification" or "blank" (also before the
  // first content: the service leaves the board as it found it).
  std::string showing;
  std::vector<std::string> text;     // the lines when the content is a text
  std::optional<LastSend> lastSend;  // unset before the first frame
  // The last refusal told to the service, until content is shown again.
  std::optional<Refusal> refused;
  std::string notice;   // what the operator should know (Polish), or empty
  long long sends = 0;  // frames written, those that failed included
  long long failedSends = 0;
  std::string version;
  // The sources of the live content shown (not of notifications).
  std::vector<LiveSourceStatus> sources;
};

// Content read from a request and checked whole: every picture read, every
// text drawn. Only a BoardService shows it.
class Content {
 public:
  Content(Content&&) noexcept;
  Content& operator=(Content&&) noexcept;
  ~Content();
  // The board's dots at the content's start (a preview).
  const BoardDots& FirstDots() const;
  // What a status calls it: "picture", "text" or "show".
  std::string_view Kind() const;
  // The length a request gave inside the content ("seconds" of a page),
  // for a notification that carries its own.
  std::optional<std::chrono::milliseconds> Seconds() const;

 private:
  friend class BoardService;
  struct Parts;
  explicit Content(std::unique_ptr<Parts> parts);
  std::unique_ptr<Parts> parts_;
};

struct ContentResult {
  std::optional<Content> content;
  std::string error;  // Polish, when there is no content
  // Refused for what its pictures would cost to read (decode_budget.h).
  bool tooLarge = false;
};

// The longest notification, in seconds (a day).
inline constexpr int kMaxNotifySeconds = 86'400;
// Whether a notification may last `length`, however it was asked for (the
// address, the body, an MQTT message): a second at least, shorter is not
// seen on the board.
inline bool NotifyLengthAllowed(std::chrono::milliseconds length) {
  return length >= std::chrono::seconds(1) && length <= std::chrono::seconds(kMaxNotifySeconds);
}

// A notification's place in the queue, however it was asked for.
struct NoticeOptions {
  std::string id;  // empty: the service makes one
  int priority = show::kDefaultPriority;
  std::optional<std::chrono::milliseconds> length;  // unset: held until cancelled
};

struct NotifyResult {
  std::string id;     // the message's, when it was queued
  std::string error;  // Polish, when it was not
};

struct ServiceSetup {
  std::string name;
  std::string version;
  LogFn log;
};

class BoardService {
 public:
  // Starts playing on `session`'s thread (nothing is written until the first
  // content comes). `clock` (for tests) outlives the service; null: the
  // system's clock.
  BoardService(std::unique_ptr<BoardSession> session, ServiceSetup setup,
               show::ShowClock* clock = nullptr);
  // Ends after the frame in flight.
  ~BoardService();
  BoardService(const BoardService&) = delete;
  BoardService& operator=(const BoardService&) = delete;

  // --- content, checked whole; nothing changes on the board ---
  // Any picture the converter reads, with its options (placement, dots,
  // threshold, lit parts; any text in `options` is ignored).
  ContentResult PictureContent(std::span<const std::uint8_t> bytes,
                               const picture::ConvertOptions& options);
  // JSON: a show (an object with "pages"), or one page's content as a show
  // writes it ({"text": [...], "font", "size", "align"}, {"picture":
  // "data:...", "place", ...}, {"scroll": ...}, {"animation": "data:..."}),
  // optionally with "seconds". Pictures only inline: a file named by a
  // request is never opened.
  ContentResult JsonContent(std::string_view json);
  // Lines of text in the default font, the largest that fits (MQTT's text).
  ContentResult TextContent(const std::vector<std::string>& lines);

  // --- what the board shows ---
  // Shows `content` from its start, instead of what shows now. Content
  // that began to be read before the content shown now (or the last blank)
  // was, has been superseded while it was made: it is not shown, and the
  // answer is false.
  bool Play(Content content);
  // Queues `content` as a notification: a higher priority interrupts what
  // shows, an equal one waits its turn or replaces the message of its id.
  // When the queue is empty the content goes on where it would be by then.
  NotifyResult Notify(Content content, const NoticeOptions& options);
  // Whether there was such a message.
  bool CancelNotice(std::string_view id);
  std::size_t CancelNotices();
  // The queue in the order it will show.
  std::vector<show::NoticeState> Notices() const;
  // The board goes blank at once, notification or not, until new content
  // or a new notification comes; queued notifications stay queued.
  void Blank();

  // --- what it is told ---
  // A request refused where no one hears the answer: the status carries it
  // until content is shown or the board blanked.
  void Refused(const std::string& message);
  // A lasting notice for the status (another service using this board's
  // name ...); empty: none.
  void SetNotice(std::string notice);

  // --- what it tells ---
  ServiceStatus Status() const;
  // The dots the board received last (blank before the first frame).
  BoardDots BoardNow() const;
  // `observer` hears every frame from now on; the returned number removes
  // it. After RemoveFrameObserver returns, it is not called again.
  int AddFrameObserver(std::function<void(const FrameEvent&)> observer);
  void RemoveFrameObserver(int id);
  // `observer` hears (on the writing thread) that the board's port went
  // away or came back; removed as a frame observer is.
  int AddReachObserver(std::function<void()> observer);
  void RemoveReachObserver(int id);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tablica::service
