#pragma once

// Turns Ctrl+C, SIGTERM and SIGHUP (and a request from another thread) into
// a readable file descriptor, so a poll loop can end cleanly and the port
// link is removed on the way out.

namespace emulator {

class StopSignal {
 public:
  // Installs the handlers; one object at a time per process.
  StopSignal();
  ~StopSignal();
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;

  // Readable once a stop was asked for.
  int Fd() const { return readFd_; }
  void Request();
  bool Requested() const;

 private:
  int readFd_ = -1;
  int writeFd_ = -1;
};

}  // namespace emulator
