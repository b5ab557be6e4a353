#pragma once

// The live board for its listeners (the web page, scripts): every frame the
// service writes, as JSON, handed to each listener in order. A listener that
// falls behind loses its oldest frames, never the newest, and never holds
// up the writer. Listeners are limited in number, so that they cannot take
// every worker that answers the API.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "service/board_service.h"

namespace tablica::service {

class LiveFeed;

class LiveListener {
 public:
  ~LiveListener();
  LiveListener(const LiveListener&) = delete;
  LiveListener& operator=(const LiveListener&) = delete;

  enum class Took { Frame, Nothing, Closed };
  // Waits at most `wait` for the next frame's JSON (into `json`).
  Took Next(std::chrono::milliseconds wait, std::string& json);

 private:
  friend class LiveFeed;
  explicit LiveListener(LiveFeed& feed) : feed_(feed) {}
  void Push(const std::string& json);
  void Close();

  LiveFeed& feed_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::string> frames_;
  bool closed_ = false;
};

class LiveFeed {
 public:
  // Frames a slow listener may have waiting before the oldest are dropped.
  static constexpr std::size_t kQueuedFrames = 32;

  LiveFeed(BoardService& service, int maxListeners);
  // Closes every listener; they must be gone before the feed is.
  ~LiveFeed();
  LiveFeed(const LiveFeed&) = delete;
  LiveFeed& operator=(const LiveFeed&) = delete;

  // A new listener, its first frame the board as it is now; null when there
  // are already as many as allowed.
  std::shared_ptr<LiveListener> Join();
  // Ends every listener's wait (the service is stopping).
  void Close();
  int Listeners() const;

 private:
  friend class LiveListener;
  void Left(LiveListener* listener);
  void Heard(const FrameEvent& frame);

  BoardService& service_;
  const int maxListeners_;
  mutable std::mutex mutex_;
  std::vector<LiveListener*> listeners_;
  bool closed_ = false;
  int observer_ = 0;  // last: removed before the rest goes
};

}  // namespace tablica::service
