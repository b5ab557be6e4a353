#pragma once

// Where a player's frames go: a board session (the board on its port), or
// a record of frames on a simulated clock (a preview).

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "board/board_dots.h"
#include "board/board_frame.h"
#include "session/board_session.h"
#include "show/show_clock.h"

namespace tablica::show {

// How the board is reached, as a look at its port finds it.
enum class BoardReach {
  Reached,  // the port is open (or there is no port to watch)
  Away,     // the port's device is gone or refuses to open: nothing is written
  Back,     // the port was opened again by this look
};

class BoardOutput {
 public:
  virtual ~BoardOutput() = default;
  // Writes the frame, and the second board's block behind it when `second`
  // is given.
  virtual SendReport Write(const BoardDots& first, const BoardDots* second) = 0;
  // Waits, at most `limit`, until what was written has left the system's
  // buffers for the line.
  virtual void Drain(std::chrono::milliseconds limit) = 0;
  virtual std::chrono::microseconds WireTime(std::size_t bytes) const = 0;
  // Looks at the port: closes one whose device went away, opens again one
  // whose device is back. A watched output is looked at every
  // kLookEvery at most, also while nothing is written.
  virtual bool Watched() const { return false; }
  virtual BoardReach Look() { return BoardReach::Reached; }
};

// How often a watched output is looked at: a still page learns within this
// that its adapter went away, and a returning adapter is opened again
// within this and the open's own time.
inline constexpr std::chrono::milliseconds kLookEvery{200};

// The board on the session's port, watched by the session
// (BoardSession::WatchPort).
class SessionOutput : public BoardOutput {
 public:
  explicit SessionOutput(BoardSession& session);
  SendReport Write(const BoardDots& first, const BoardDots* second) override;
  void Drain(std::chrono::milliseconds limit) override;
  std::chrono::microseconds WireTime(std::size_t bytes) const override;
  bool Watched() const override { return true; }
  BoardReach Look() override;

 private:
  BoardSession& session_;
};

// Frames that reach no board: each takes its wire time at `baud` on a
// simulated clock and always succeeds.
class SimulatedOutput : public BoardOutput {
 public:
  SimulatedOutput(SimulatedClock& clock, std::uint32_t baud);
  SendReport Write(const BoardDots& first, const BoardDots* second) override;
  void Drain(std::chrono::milliseconds) override {}
  std::chrono::microseconds WireTime(std::size_t bytes) const override;

 private:
  SimulatedClock& clock_;
  std::uint32_t baud_;
};

}  // namespace tablica::show
