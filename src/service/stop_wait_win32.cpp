#include <windows.h>

#include <condition_variable>
#include <mutex>

#include "service/stop_wait.h"

namespace tablica::service {

namespace {

// A console control handler reaches nothing but process-wide state.
std::mutex stopMutex;
std::condition_variable stopAsked;
bool stopped = false;

void AskStop() {
  {
    std::lock_guard lock(stopMutex);
    stopped = true;
  }
  stopAsked.notify_all();
}

BOOL WINAPI OnConsoleControl(DWORD) {
  AskStop();
  return TRUE;
}

}  // namespace

StopWait::StopWait() {
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

StopWait::~StopWait() {
  SetConsoleCtrlHandler(OnConsoleControl, FALSE);
}

void StopWait::Wait() {
  std::unique_lock lock(stopMutex);
  stopAsked.wait(lock, [] { return stopped; });
}

void StopWait::Request() {
  AskStop();
}

}  // namespace tablica::service
