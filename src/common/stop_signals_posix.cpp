// The stop is a pipe that is written once and never read: readable for
// good once a stop was asked for. The signals are blocked in the thread
// that makes the object (and so in every thread it starts later) and read
// by a watch thread through a signalfd; a thread that was already running
// with them unblocked takes them in a handler, which may only write to the
// pipe.

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <thread>

#include "common/stop_signals.h"

namespace tablica {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// A handler reaches nothing but process-wide state: the pipe's write end
// lives here while a StopSignals exists.
std::atomic<int> handlerFd{-1};

void WriteByte(int fd) {
  if (fd < 0) return;
  const char byte = 1;
  [[maybe_unused]] const auto ignored = ::write(fd, &byte, 1);
}

extern "C" void OnStopSignal(int) {
  WriteByte(handlerFd.load());
}

bool Readable(int fd, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  for (;;) {
    const int got = ::poll(&p, 1, timeoutMs);
    if (got >= 0) return got > 0;
    if (errno != EINTR) return false;
  }
}

sigset_t StopSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : kSignals) sigaddset(&set, sig);
  return set;
}

}  // namespace

struct StopSignals::State {
  int readFd = -1;
  int writeFd = -1;
  int signalFd = -1;
  int quitRead = -1;
  int quitWrite = -1;
  std::stop_source source;
  std::thread watch;
};

StopSignals::StopSignals() : state_(std::make_unique<State>()) {
  State& s = *state_;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
    s.readFd = fds[0];
    s.writeFd = fds[1];
  }
  if (::pipe2(fds, O_CLOEXEC) == 0) {
    s.quitRead = fds[0];
    s.quitWrite = fds[1];
  }
  const sigset_t set = StopSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  s.signalFd = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
  handlerFd.store(s.writeFd);
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int sig : kSignals) ::sigaction(sig, &action, nullptr);
  // A reader of the program's output or a client that goes away must not
  // end it before it has finished the frame in flight and cleaned up.
  std::signal(SIGPIPE, SIG_IGN);

  s.watch = std::thread([&s] {
    pollfd watched[3] = {{s.quitRead, POLLIN, 0}, {s.signalFd, POLLIN, 0}, {s.readFd, POLLIN, 0}};
    for (;;) {
      if (::poll(watched, 3, -1) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (watched[0].revents != 0) return;
      if (watched[1].revents != 0) {
        signalfd_siginfo info{};
        while (::read(s.signalFd, &info, sizeof info) == sizeof info) WriteByte(s.writeFd);
      }
      if (watched[2].revents != 0) {
        s.source.request_stop();
        watched[2].fd = -1;  // stays readable: watched no more
      }
    }
  });
}

// The signals stay blocked: a second Ctrl+C while the program ends waits
// for the frame in flight like the first.
StopSignals::~StopSignals() {
  State& s = *state_;
  for (int sig : kSignals) std::signal(sig, SIG_DFL);
  handlerFd.store(-1);
  WriteByte(s.quitWrite);
  if (s.watch.joinable()) s.watch.join();
  for (int fd : {s.readFd, s.writeFd, s.signalFd, s.quitRead, s.quitWrite})
    if (fd >= 0) ::close(fd);
}

void StopSignals::Request() {
  WriteByte(state_->writeFd);
  state_->source.request_stop();
}

bool StopSignals::Requested() const {
  return state_->source.stop_requested() || Readable(state_->readFd, 0);
}

void StopSignals::Wait() const {
  Readable(state_->readFd, -1);
}

std::stop_token StopSignals::Token() const {
  return state_->source.get_token();
}

int StopSignals::Fd() const {
  return state_->readFd;
}

}  // namespace tablica
