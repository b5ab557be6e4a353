#include "service/http_api.h"

#include <atomic>
#include <charconv>
#include <limits>
#include <mutex>

#include "service/access_token.h"
#include "service/http_front.h"
#include "service/http_routes.h"
#include "service/net_socket.h"
#include "service/service_json.h"

namespace tablica::service {

namespace {

constexpr int kKeepAliveSeconds = 5;

// The HTTP library's server, answering requests the front has read whole.
class FrontedServer : public httplib::Server {
 public:
  // Answers the one request `stream` holds; false when the connection
  // must close.
  bool AnswerOne(httplib::Stream& stream) {
    bool closed = false;
    const bool ok = process_request(stream, false, closed, nullptr);
    return ok && !closed;
  }
  socket_t Listener() const { return svr_sock_; }
  // The listening socket, now the caller's to close; the server is then
  // shutting down (streams of answers end).
  socket_t TakeListener() { return svr_sock_.exchange(INVALID_SOCKET); }
};

// Security headers of every answer.
void AddCommonHeaders(std::vector<std::pair<std::string, std::string>>& headers) {
  headers.emplace_back("X-Content-Type-Options", "nosniff");
  headers.emplace_back("Referrer-Policy", "no-referrer");
  headers.emplace_back("Cache-Control", "no-store");
}

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

std::optional<std::string_view> Header(const httplib::Request& request, const char* name) {
  const auto found = request.headers.find(name);
  if (found == request.headers.end()) return std::nullopt;
  return std::string_view(found->second);
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
    const SiteVerdict site =
        CheckSite(setup.site, {request.method, Header(request, "Host"), Header(request, "Origin"),
                               Header(request, "Content-Type")});
    if (site.status != 0) {
      message = site.message;
      return site.status;
    }
    // A browser asks (OPTIONS) before an allowed site's request, without
    // the token; the question changes nothing.
    if (setup.token && !IsPageFile(request.path) && request.method != "OPTIONS" &&
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

  bool AllowedOrigin(const httplib::Request& request) const {
    const auto origin = Header(request, "Origin");
    return setup.site.allowedOrigin && origin && ParseOrigin(*origin) == setup.site.allowedOrigin;
  }

  // The front's verdict on a head: the same checks, on the headers as sent.
  FrontRefusal CheckHead(const RequestFrame& head) const {
    httplib::Request request;
    request.method = head.method;
    request.path = head.target.substr(0, head.target.find('?'));
    for (const auto& [name, value] : head.headers) request.headers.emplace(name, value);
    std::string message;
    const int status = Check(request, message);
    if (status == 0) return {};
    FrontRefusal refusal = FrontRefused(status, message);
    if (status == 401) refusal.headers.emplace_back("WWW-Authenticate", "Bearer");
    return refusal;
  }

  static FrontRefusal FrontRefused(int status, const std::string& message) {
    FrontRefusal refusal{status, ErrorJson(message), {}};
    refusal.headers.emplace_back("Content-Type", "application/json; charset=utf-8");
    AddCommonHeaders(refusal.headers);
    return refusal;
  }

  BoardService& service;
  HttpSetup setup;
  LiveFeed feed;
  FrontedServer server;
  int port = 0;
  std::mutex frontMutex;  // guards `front` and `stopping`
  std::unique_ptr<HttpFront> front;
  bool stopping = false;
};

HttpApi::HttpApi(BoardService& service, HttpSetup setup)
    : state_(std::make_unique<State>(service, std::move(setup))) {
  State& state = *state_;
  httplib::Server& server = state.server;
  server.set_keep_alive_timeout(kKeepAliveSeconds);
  server.set_payload_max_length(static_cast<std::size_t>(state.setup.maxUpload));
  server.set_tcp_nodelay(true);

  // The front gives these refusals from the head, before the body is read;
  // here they are made again on the path as the library decodes it.
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
        if (request.method == "OPTIONS" && state.AllowedOrigin(request)) {
          response.status = 204;
          response.set_header("Access-Control-Allow-Methods", "GET, POST, DELETE");
          response.set_header("Access-Control-Allow-Headers", "Content-Type, Authorization");
          response.set_header("Access-Control-Max-Age", "600");
          return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
      });
  // The one origin allowed besides the service's own page: its pages may
  // read the answers, and their browser's questions before a request are
  // answered.
  server.set_post_routing_handler(
      [&state](const httplib::Request& request, httplib::Response& response) {
        if (state.AllowedOrigin(request)) {
          response.set_header("Access-Control-Allow-Origin", *state.setup.site.allowedOrigin);
          response.set_header("Vary", "Origin");
        }
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
  AddStopsRoute(server);
  AddWebPage(server);
}

HttpApi::~HttpApi() {
  Stop();
  if (const socket_t listener = state_->server.TakeListener(); listener != INVALID_SOCKET) {
    net::Close(listener);
  }
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
  State& state = *state_;
  {
    std::lock_guard lock(state.frontMutex);
    if (state.stopping || state.server.Listener() == INVALID_SOCKET) return;
    FrontSetup front;
    front.maxBody = state.setup.maxUpload;
    front.bodiesHeld = std::max<std::uint64_t>(8 * state.setup.maxUpload, 64ULL * 1024 * 1024);
    front.workers = state.setup.workers;
    FrontHandlers handlers;
    handlers.check = [&state](const RequestFrame& head) { return state.CheckHead(head); };
    handlers.refusal = &State::FrontRefused;
    handlers.answer = [&state](httplib::Stream& stream) { return state.server.AnswerOne(stream); };
    state.front = std::make_unique<HttpFront>(state.server.Listener(), front, std::move(handlers));
  }
  state.front->Run();
  if (const socket_t listener = state.server.TakeListener(); listener != INVALID_SOCKET) {
    net::Close(listener);
  }
}

void HttpApi::Stop() {
  State& state = *state_;
  std::lock_guard lock(state.frontMutex);
  state.stopping = true;
  state.feed.Close();
  if (state.front) state.front->Stop();
}

}  // namespace tablica::service
