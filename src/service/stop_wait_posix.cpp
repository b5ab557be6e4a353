#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include "service/stop_wait.h"

namespace tablica::service {

namespace {

sigset_t StopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGHUP);
  return signals;
}

}  // namespace

StopWait::StopWait() {
  const sigset_t signals = StopSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  // A client that goes away mid-answer must not end the service.
  signal(SIGPIPE, SIG_IGN);
}

// The signals stay blocked: a second Ctrl+C while the service ends waits
// for the frame in flight like the first.
StopWait::~StopWait() = default;

void StopWait::Wait() {
  const sigset_t signals = StopSignals();
  int taken = 0;
  while (sigwait(&signals, &taken) != 0) {
  }
}

void StopWait::Request() {
  kill(getpid(), SIGTERM);
}

}  // namespace tablica::service
