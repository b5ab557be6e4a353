#include "service/http_api.h"

#include <atomic>
#include <charconv>
#include <chrono>
#include <limits>
#include <thread>

#include "service/access_token.h"
#include "service/http_routes.h"
#include "service/service_json.h"

namespace tablica::service {

namespace {

constexpr int kReadTimeoutSeconds = 10;
constexpr int kWriteTimeoutSeconds = 10;
constexpr int kKeepAliveSeconds = 5;

// The body's length the headers give; unset when they give none, or
// something that is no length (a malformed request, not a large one).
std::optional<std::uint64_t> ContentLength(const httplib::Request& request) {
  if (!request.has_header("Content-Length")) return std::nullopt;
  const std::string value = request.get_header_value("Content-Length");
  std::uint64_t length = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), length);
  if (error == std::errc::result_out_of_range && end == value.data() + value.size()) {
    return std::numeric_limits<std::uint64_t>::max();  // digits beyond any size: too large
  }
  if (value.empty() || error != std::errc() || end != value.data() + value.size()) {
    return std::nullopt;
  }
  return length;
}

}  // namespace

void Refuse(httplib::Response& response, int status, const std::string& message) {
  response.status = status;
  response.set_content(ErrorJson(message), "application/json; charset=utf-8");
}

struct HttpApi::State {
  State(BoardService& board, HttpSetup httpSetup)
      : service(board), setup(std::move(httpSetup)), feed(board, setup.liveListeners) {}

  // What a request may not do, decided from its headers alone: 0 when it
  // may go on, otherwise the status it gets (and `message`).
  int Check(const httplib::Request& request, std::string& message) const {
    if (setup.token && !IsPageFile(request.path) &&
        !BearerMatches(request.get_header_value("Authorization"), *setup.token)) {
      message =
          "Brak żetonu dostępu albo żeton jest zły (potrzebny nagłówek „Authorization: Bearer "
          "ŻETON”).";
      return 401;
    }
    const auto length = ContentLength(request);
    if (!length && request.has_header("Content-Length")) {
      message = "Nagłówek Content-Length musi być liczbą bajtów.";
      return 400;
    }
    if (length && *length > setup.maxUpload) {
      message = "Przesłane dane są za duże: najwyżej " + std::to_string(setup.maxUpload) +
                " bajtów (opcja --max-upload).";
      return 413;
    }
    return 0;
  }

  BoardService& service;
  HttpSetup setup;
  LiveFeed feed;
  httplib::Server server;
  int port = 0;
  std::atomic<bool> serving = false;
  std::atomic<bool> stopping = false;
};

HttpApi::HttpApi(BoardService& service, HttpSetup setup)
    : state_(std::make_unique<State>(service, std::move(setup))) {
  State& state = *state_;
  httplib::Server& server = state.server;
  const int workers = state.setup.workers;
  server.new_task_queue = [workers] {
    return new httplib::ThreadPool(static_cast<std::size_t>(workers));
  };
  server.set_read_timeout(kReadTimeoutSeconds, 0);
  server.set_write_timeout(kWriteTimeoutSeconds, 0);
  server.set_keep_alive_timeout(kKeepAliveSeconds);
  server.set_payload_max_length(static_cast<std::size_t>(state.setup.maxUpload));
  server.set_tcp_nodelay(true);

  // Refusals that need no body are given before the body is read; the
  // connection is then closed, so the unread body is never taken for the
  // next request.
  server.set_pre_routing_handler(
      [&state](const httplib::Request& request, httplib::Response& response) {
        response.set_header("X-Content-Type-Options", "nosniff");
        response.set_header("Referrer-Policy", "no-referrer");
        std::string message;
        if (const int status = state.Check(request, message); status != 0) {
          Refuse(response, status, message);
          if (status == 401) response.set_header("WWW-Authenticate", "Bearer");
          response.set_header("Connection", "close");
          return httplib::Server::HandlerResponse::Handled;
        }
        if (request.path.starts_with("/api/")) response.set_header("Cache-Control", "no-store");
        return httplib::Server::HandlerResponse::Unhandled;
      });
  // A client that waits for "100 Continue" before sending its body is told
  // the refusal instead, and sends nothing.
  server.set_expect_100_continue_handler(
      [&state](const httplib::Request& request, httplib::Response&) {
        std::string message;
        const int status = state.Check(request, message);
        return status != 0 ? status : 100;
      });
  server.set_error_handler([](const httplib::Request& request, httplib::Response& response) {
    if (!response.body.empty()) return;
    if (response.status == 404) {
      Refuse(response, 404, "Nie ma takiego adresu: " + request.path + ".");
    } else if (response.status == 413) {
      Refuse(response, 413, "Przesłane dane są za duże (opcja --max-upload).");
    } else if (response.status == 400) {
      Refuse(response, 400, "Niepoprawne zapytanie HTTP.");
    }
  });
  server.set_exception_handler(
      [&state](const httplib::Request& request, httplib::Response& response, std::exception_ptr) {
        if (state.setup.log) state.setup.log("Błąd wewnętrzny przy " + request.path + ".");
        Refuse(response, 500, "Błąd wewnętrzny serwera.");
      });

  AddBoardRoutes(server, service, state.setup);
  AddLiveRoute(server, state.feed);
  AddWebPage(server);
}

HttpApi::~HttpApi() {
  Stop();
}

std::string HttpApi::Bind(const std::string& host, int port) {
  if (port == 0) {
    state_->port = state_->server.bind_to_any_port(host);
    if (state_->port > 0) return {};
  } else if (state_->server.bind_to_port(host, port)) {
    state_->port = port;
    return {};
  }
  return "Nie mogę nasłuchiwać na " + host + ":" + std::to_string(port) +
         " (adres zajęty albo niedostępny).";
}

int HttpApi::BoundPort() const {
  return state_->port;
}

void HttpApi::Serve() {
  state_->serving = true;
  if (!state_->stopping) state_->server.listen_after_bind();
  state_->serving = false;
}

void HttpApi::Stop() {
  state_->stopping = true;
  state_->feed.Close();
  // A server asked to stop before it has started would not notice: wait
  // (briefly) until it runs.
  for (int i = 0; i < 2000 && state_->serving && !state_->server.is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  state_->server.stop();
}

}  // namespace tablica::service
