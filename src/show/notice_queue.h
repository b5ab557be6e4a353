#pragma once

// Notifications waiting for the board, and which of them shows now. Each
// has an id, a priority (0 to 9, higher wins) and either a length or no end
// (held until cancelled). The highest priority shows; among equals, the one
// that came first, so a newcomer of the same priority waits its turn and a
// higher one interrupts. A message's seconds count only while it shows: an
// interrupted one later gets what it had left. One of the same id replaces
// the message in its place in the line, from its start.
//
// Time is handed in by the caller (the player's clock); nothing here waits
// or locks: the player keeps the queue under its own lock.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "show/show_clock.h"

namespace tablica::show {

class ShowTimeline;

inline constexpr int kLowestPriority = 0;
inline constexpr int kHighestPriority = 9;
inline constexpr int kDefaultPriority = 5;
// The most messages that may wait at once (each holds its drawn content).
inline constexpr std::size_t kMostNotices = 1000;

struct NoticeRequest {
  std::string id;  // empty: one is made
  int priority = kDefaultPriority;
  std::optional<std::chrono::milliseconds> length;  // unset: held until cancelled
  std::shared_ptr<ShowTimeline> content;
};

// One message as a list tells it, in the order they will show.
struct NoticeState {
  std::string id;
  int priority = kDefaultPriority;
  std::optional<std::chrono::milliseconds> left;  // unset: held
  bool showing = false;
};

// The message to show now.
struct CurrentNotice {
  std::shared_ptr<ShowTimeline> content;
  SteadyTime start;  // its content's time 0 (earlier when it showed before)
  SteadyTime end;    // SteadyTime::max() when held
  // Another number: another message, or the same id replaced.
  std::uint64_t serial = 0;
};

class NoticeQueue {
 public:
  // The message's id; unset when the queue is full (a replacement always
  // finds its place).
  std::optional<std::string> Add(NoticeRequest request, SteadyTime now);
  // Whether there was such a message.
  bool Cancel(std::string_view id, SteadyTime now);
  // How many messages there were.
  std::size_t CancelAll(SteadyTime now);
  // Removes the message `serial` before its time (its content came to its
  // end); nothing when it is gone already.
  void Finish(std::uint64_t serial, SteadyTime now);
  // While paused (a blanked board) nothing shows and no time counts.
  void Pause(SteadyTime now);
  void Resume(SteadyTime now);

  std::optional<CurrentNotice> Current(SteadyTime now);
  std::vector<NoticeState> List(SteadyTime now);
  std::size_t Size() const { return entries_.size(); }

 private:
  using Span = SteadyTime::duration;
  struct Entry {
    std::string id;
    int priority = kDefaultPriority;
    std::optional<Span> length;
    std::shared_ptr<ShowTimeline> content;
    Span shown{0};
    std::uint64_t turn = 0;
    std::uint64_t serial = 0;
  };

  // Charges the time since the last look to the message showing, and
  // removes those whose time is over (the next one starting where the
  // last ended).
  void Settle(SteadyTime now);
  std::vector<Entry>::iterator Chosen();
  std::vector<Entry>::iterator Named(std::string_view id);

  std::vector<Entry> entries_;
  SteadyTime since_{};
  bool paused_ = false;
  std::uint64_t nextTurn_ = 1;
  std::uint64_t nextSerial_ = 1;
  std::uint64_t nextMade_ = 1;
};

}  // namespace tablica::show
