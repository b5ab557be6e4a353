#include "show/board_output.h"

namespace tablica::show {

SessionOutput::SessionOutput(BoardSession& session) : session_(session) {}

SendReport SessionOutput::Write(const BoardDots& first, const BoardDots* second) {
  return session_.Send(first, second);
}

void SessionOutput::Drain(std::chrono::milliseconds limit) {
  session_.DrainLine(limit);
}

std::chrono::microseconds SessionOutput::WireTime(std::size_t bytes) const {
  return session_.WireTime(bytes);
}

BoardReach SessionOutput::Look() {
  switch (session_.WatchPort()) {
    case PortWatch::Away:
      return BoardReach::Away;
    case PortWatch::Back:
      return BoardReach::Back;
    case PortWatch::None:
    case PortWatch::Open:
      break;
  }
  return BoardReach::Reached;
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
