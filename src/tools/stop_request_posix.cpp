// The signals come through a pipe: a handler may only write to it, and a
// thread of the object's own reads it and asks for the stop.

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <thread>

#include "tools/stop_request.h"

namespace tablica::tools {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr char kSignalled = 's';
constexpr char kQuit = 'q';

// A handler reaches nothing but process-wide state: the pipe's write end
// lives here while a StopOnSignals exists.
std::atomic<int> signalPipe{-1};

extern "C" void OnStopSignal(int) {
  const int fd = signalPipe.load();
  if (fd >= 0) [[maybe_unused]]
    auto ignored = ::write(fd, &kSignalled, 1);
}

}  // namespace

struct StopOnSignals::Watch {
  int readFd = -1;
  int writeFd = -1;
  std::thread thread;
};

StopOnSignals::StopOnSignals(std::stop_source stop) : watch_(std::make_unique<Watch>()) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return;
  watch_->readFd = fds[0];
  watch_->writeFd = fds[1];
  signalPipe.store(watch_->writeFd);
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (int sig : kSignals) ::sigaction(sig, &action, nullptr);
  watch_->thread = std::thread([fd = watch_->readFd, stop]() mutable {
    for (;;) {
      char byte = 0;
      const ssize_t got = ::read(fd, &byte, 1);
      if (got < 0 && errno == EINTR) continue;
      if (got != 1 || byte == kQuit) return;
      stop.request_stop();
    }
  });
}

StopOnSignals::~StopOnSignals() {
  for (int sig : kSignals) std::signal(sig, SIG_DFL);
  signalPipe.store(-1);
  if (watch_->thread.joinable()) {
    [[maybe_unused]] auto ignored = ::write(watch_->writeFd, &kQuit, 1);
    watch_->thread.join();
  }
  if (watch_->readFd >= 0) ::close(watch_->readFd);
  if (watch_->writeFd >= 0) ::close(watch_->writeFd);
}

}  // namespace tablica::tools
