#pragma once

// The service's HTTP side: the API under /api/, the live board as
// server-sent events, and the web page, answered by cpp-httplib's server
// on a pool of workers, behind a front that reads each request whole first
// (HttpFront: no slow client holds a worker). Security is decided before a request is read:
// the Host, the Origin and the body's type must be the service's own
// (SiteRules: 421, 403, 415), with a token every /api/ request must carry
// it (401 otherwise), and a body longer than the limit is refused (413)
// before a byte of it is taken.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "service/board_service.h"
#include "service/site_rules.h"

namespace tablica::service {

struct HttpSetup {
  std::optional<std::string> token;  // unset: the API is open (loopback only)
  SiteRules site;                    // the names and origins the service answers
  std::uint64_t maxUpload = 32ULL * 1024 * 1024;
  // Workers answering requests, and how many of them the live board's
  // listeners may hold at most.
  int workers = 24;
  int liveListeners = 8;
  LogFn log;
};

class HttpApi {
 public:
  HttpApi(BoardService& service, HttpSetup setup);
  // Stops serving first.
  ~HttpApi();
  HttpApi(const HttpApi&) = delete;
  HttpApi& operator=(const HttpApi&) = delete;

  // Takes the address; port 0 takes a free one. Returns the Polish reason
  // it cannot, or empty.
  std::string Bind(const std::string& host, int port);
  int BoundPort() const;
  // Answers requests until Stop() (from another thread).
  void Serve();
  // Ends the live board's listeners and the server; safe from any thread,
  // also before Serve.
  void Stop();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tablica::service
