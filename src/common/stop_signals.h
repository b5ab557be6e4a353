#pragma once

// The stop every program takes from its console or its service manager:
// Ctrl+C, SIGTERM (systemd's stop) and SIGHUP (on Windows: Ctrl+C,
// Ctrl+Break and the console closing), or a request from the program
// itself. A long job such as a show ends after the frame in flight instead
// of in the middle of one, and a program with a port link removes it on the
// way out.
//
// Made early, before the program starts threads of its own: on POSIX the
// signals are then blocked in every thread the program starts and taken by
// a watch of this object's own, so no other thread's system call is cut
// short by them.

#include <memory>
#include <stop_token>

namespace tablica {

class StopSignals {
 public:
  // Takes the signals while this object lives (one at a time in a process).
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // Asks for the stop, from any thread.
  void Request();
  bool Requested() const;
  // Returns once a stop was asked for.
  void Wait() const;
  // Stop requested once a stop was asked for.
  std::stop_token Token() const;
  // POSIX: a descriptor that turns readable once a stop was asked for and
  // stays so, for a poll loop. -1 where the system has none (Windows).
  int Fd() const;

  // The platform's own (signal pipes, or a console handler's flag).
  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace tablica
