// Windows calls a console control handler on a thread of its own, which
// may ask for the stop itself.

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "common/stop_signals.h"

namespace tablica {

struct StopSignals::State {
  std::mutex mutex;
  std::condition_variable asked;
  bool stopped = false;
  std::stop_source source;

  void Ask() {
    {
      std::lock_guard lock(mutex);
      stopped = true;
    }
    source.request_stop();
    asked.notify_all();
  }
};

namespace {

// A console control handler reaches nothing but process-wide state.
std::atomic<StopSignals::State*> handlerState{nullptr};

BOOL WINAPI OnConsoleControl(DWORD) {
  StopSignals::State* state = handlerState.load();
  if (state == nullptr) return FALSE;
  state->Ask();
  return TRUE;  // handled: the program ends by itself after the frame in flight
}

}  // namespace

StopSignals::StopSignals() : state_(std::make_unique<State>()) {
  handlerState.store(state_.get());
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

StopSignals::~StopSignals() {
  SetConsoleCtrlHandler(OnConsoleControl, FALSE);
  handlerState.store(nullptr);
}

void StopSignals::Request() {
  state_->Ask();
}

bool StopSignals::Requested() const {
  return state_->source.stop_requested();
}

void StopSignals::Wait() const {
  std::unique_lock lock(state_->mutex);
  state_->asked.wait(lock, [this] { return state_->stopped; });
}

std::stop_token StopSignals::Token() const {
  return state_->source.get_token();
}

int StopSignals::Fd() const {
  return -1;
}

}  // namespace tablica
