// Windows calls a console control handler on a thread of its own, which
// may ask for the stop itself.

#include <windows.h>

#include <atomic>

#include "tools/stop_request.h"

namespace tablica::tools {

namespace {

std::atomic<std::stop_source*> handlerStop{nullptr};

BOOL WINAPI OnConsoleControl(DWORD) {
  std::stop_source* stop = handlerStop.load();
  if (stop == nullptr) return FALSE;
  stop->request_stop();
  return TRUE;  // handled: the program ends by itself after the frame in flight
}

}  // namespace

struct StopOnSignals::Watch {
  std::stop_source stop;
};

StopOnSignals::StopOnSignals(std::stop_source stop)
    : watch_(std::make_unique<Watch>(Watch{std::move(stop)})) {
  handlerStop.store(&watch_->stop);
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

StopOnSignals::~StopOnSignals() {
  SetConsoleCtrlHandler(OnConsoleControl, FALSE);
  handlerStop.store(nullptr);
}

}  // namespace tablica::tools
