#pragma once

// The service's log: one Polish line per event, with the local time in
// front, written whole to standard error (lines from different threads
// never mix).

#include <cstdio>
#include <mutex>
#include <string>

#include "service/board_service.h"

namespace tablica::service {

class ServiceLog {
 public:
  explicit ServiceLog(std::FILE* out = stderr) : out_(out) {}
  void Line(const std::string& text);
  // A LogFn that writes here; the log outlives its users.
  LogFn Fn() {
    return [this](const std::string& text) { Line(text); };
  }

 private:
  std::FILE* out_;
  std::mutex mutex_;
};

}  // namespace tablica::service
