#pragma once

// Ctrl+C and SIGTERM (on Windows: Ctrl+C, Ctrl+Break and the console
// closing) turned into a stop request, so a long job such as a show ends
// after the frame in flight instead of in the middle of one.

#include <memory>
#include <stop_token>

namespace tablica::tools {

class StopOnSignals {
 public:
  // Asks `stop` to stop when a signal comes, while this object lives (one
  // at a time in a process).
  explicit StopOnSignals(std::stop_source stop);
  ~StopOnSignals();
  StopOnSignals(const StopOnSignals&) = delete;
  StopOnSignals& operator=(const StopOnSignals&) = delete;

 private:
  struct Watch;
  std::unique_ptr<Watch> watch_;
};

}  // namespace tablica::tools
