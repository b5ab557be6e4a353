#include "show/board_output.h"

namespace tablica::show {

SessionOutput::SessionOutput(BoardSession& session)
    : session_(session), port_(session.PortNumber()) {}

SendReport SessionOutput::Write(const BoardDots& first, const BoardDots* second) {
  return session_.Send(first, second);
}

void SessionOutput::Drain(std::chrono::milliseconds limit) {
  session_.DrainLine(limit);
}

std::chrono::microseconds SessionOutput::WireTime(std::size_t bytes) const {
  return session_.WireTime(bytes);
}

void SessionOutput::Recover() {
  // A line error closes the port and leaves none chosen; the next frames
  // would only say so. Open it again (it says so itself if it cannot).
  if (port_ != kNoPort && session_.PortNumber() == kNoPort) session_.PickPort(port_);
}

SimulatedOutput::SimulatedOutput(SimulatedClock& clock, std::uint32_t baud)
    : clock_(clock), baud_(baud == 0 ? 1 : baud) {}

SendReport SimulatedOutput::Write(const BoardDots&, const BoardDots* second) {
  clock_.Advance(WireTime(WriteSize(second != nullptr)));
  SendReport report;
  report.finished = std::chrono::system_clock::now();
  return report;
}

std::chrono::microseconds SimulatedOutput::WireTime(std::size_t bytes) const {
  return LineTime(bytes, baud_);
}

}  // namespace tablica::show
