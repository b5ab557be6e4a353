#include "emulator/stop_signal.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <csignal>

namespace emulator {

namespace {

// A signal handler can reach nothing but process-wide state: the write end
// of the stop pipe lives here while a StopSignal exists.
std::atomic<int> handlerFd{-1};

extern "C" void OnStopSignal(int) {
  const int fd = handlerFd.load();
  if (fd >= 0) {
    const char byte = 1;
    [[maybe_unused]] const auto ignored = ::write(fd, &byte, 1);
  }
}

}  // namespace

StopSignal::StopSignal() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
    readFd_ = fds[0];
    writeFd_ = fds[1];
  }
  handlerFd.store(writeFd_);
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(sig, &action, nullptr);
  // A reader of our standard output that goes away must not kill us before
  // the port link is removed.
  std::signal(SIGPIPE, SIG_IGN);
}

StopSignal::~StopSignal() {
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) std::signal(sig, SIG_DFL);
  handlerFd.store(-1);
  if (readFd_ >= 0) ::close(readFd_);
  if (writeFd_ >= 0) ::close(writeFd_);
}

void StopSignal::Request() {
  OnStopSignal(0);
}

bool StopSignal::Requested() const {
  pollfd p{readFd_, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0;
}

}  // namespace emulator
