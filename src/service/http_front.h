#pragma once

// The HTTP side's front: one thread that accepts connections and reads
// each request whole (head and body) before a worker answers it, so that
// a slow or idle client holds no worker, only a buffer, and only for a
// while. It bounds what a client may hold: a deadline for a request's head
// and for its body (by its size), open connections per client address and
// in all, the bytes of bodies held at once. Answers are written by the
// workers, through the HTTP library, on the same connection.

#include <httplib.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "service/request_framing.h"

namespace tablica::service {

struct FrontSetup {
  std::chrono::milliseconds headDeadline{10'000};   // a request's head, from its first byte
  std::chrono::milliseconds idleDeadline{5'000};    // a connection, until that byte
  std::chrono::milliseconds writeDeadline{10'000};  // each piece of an answer
  std::uint64_t slowestBody = 64 * 1024;            // bytes a second a body may come at
  int perAddress = 16;
  int connections = 512;
  std::size_t maxHead = 64 * 1024;
  std::uint64_t maxBody = 32ULL * 1024 * 1024;
  std::uint64_t bodiesHeld = 256ULL * 1024 * 1024;
  int workers = 24;
};

// A refusal the front gives itself, before a body is read.
struct FrontRefusal {
  int status = 0;  // 0: the request may go on
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
};

struct FrontHandlers {
  // Decides from the head alone (a refusal, or status 0).
  std::function<FrontRefusal(const RequestFrame& head)> check;
  // A refusal of the front's own (limits, deadlines, broken requests).
  std::function<FrontRefusal(int status, const std::string& message)> refusal;
  // Answers the one request `stream` holds (on a worker); false when the
  // connection must close.
  std::function<bool(httplib::Stream& stream)> answer;
};

class HttpFront {
 public:
  // `listener` is bound and listening; it stays the caller's.
  HttpFront(socket_t listener, FrontSetup setup, FrontHandlers handlers);
  ~HttpFront();
  HttpFront(const HttpFront&) = delete;
  HttpFront& operator=(const HttpFront&) = delete;

  // Serves until Stop(); then waits for the workers' answers in progress.
  void Run();
  // Safe from any thread.
  void Stop();

 private:
  struct Loop;
  std::unique_ptr<Loop> loop_;
};

}  // namespace tablica::service
