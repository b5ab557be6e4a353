#pragma once

// The service's end: Ctrl+C, SIGTERM (systemd's stop) or SIGHUP, or a
// request from the program itself. Made first thing in main, before any
// other thread starts (on POSIX the signals are then blocked in every
// thread and taken by Wait alone).

namespace tablica::service {

class StopWait {
 public:
  StopWait();
  ~StopWait();
  StopWait(const StopWait&) = delete;
  StopWait& operator=(const StopWait&) = delete;

  // Returns once a stop was asked for.
  void Wait();
  // Asks for the stop from any thread.
  void Request();
};

}  // namespace tablica::service
