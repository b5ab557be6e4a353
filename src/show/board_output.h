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
  // After a failed write: brings back the port that the failure closed
  // (an adapter pulled out and put back).
  virtual void Recover() {}
};

// The board on the session's port. The port open when it is made is the
// one a failure brings back.
class SessionOutput : public BoardOutput {
 public:
  explicit SessionOutput(BoardSession& session);
  SendReport Write(const BoardDots& first, const BoardDots* second) override;
  void Drain(std::chrono::milliseconds limit) override;
  std::chrono::microseconds WireTime(std::size_t bytes) const override;
  void Recover() override;

 private:
  BoardSession& session_;
  std::uint8_t port_;
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
