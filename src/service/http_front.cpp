#include "service/http_front.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <optional>

#include "service/net_socket.h"

namespace tablica::service {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::size_t kReadPiece = 64 * 1024;
// Bytes read from one connection before the others get their turn.
constexpr std::size_t kReadTurn = 4 * kReadPiece;
constexpr int kAcceptTurn = 64;
constexpr int kBacklog = 256;
// A refused client gets this long to take its answer before it is cut off.
constexpr milliseconds kLinger{2'000};
constexpr milliseconds kLongestWait{1'000};
constexpr milliseconds kShortWait{20};

const char* Reason(int status) {
  switch (status) {
    case 400:
      return "Bad Request";
    case 401:
      return "Unauthorized";
    case 403:
      return "Forbidden";
    case 408:
      return "Request Timeout";
    case 413:
      return "Payload Too Large";
    case 415:
      return "Unsupported Media Type";
    case 421:
      return "Misdirected Request";
    case 431:
      return "Request Header Fields Too Large";
    case 501:
      return "Not Implemented";
    case 503:
      return "Service Unavailable";
    default:
      return "Error";
  }
}

std::string Written(const FrontRefusal& refusal) {
  std::string text =
      "HTTP/1.1 " + std::to_string(refusal.status) + " " + Reason(refusal.status) +
      "\r\nConnection: close\r\nContent-Length: " + std::to_string(refusal.body.size()) + "\r\n";
  for (const auto& [name, value] : refusal.headers) text += name + ": " + value + "\r\n";
  return text + "\r\n" + refusal.body;
}

struct Connection {
  enum class Phase { Head, Body, Busy, Closing };
  socket_t socket = INVALID_SOCKET;
  std::string address;
  int port = 0;
  std::string localAddress;
  int localPort = 0;
  std::string in;  // received, not yet answered
  Phase phase = Phase::Head;
  Clock::time_point deadline;
  std::optional<RequestFrame> frame;
  std::optional<ChunkedBody> chunks;
  std::uint64_t held = 0;  // of the bodies' allowance
  bool counted = true;     // in its address's count
  std::string out;         // a refusal being written
  std::size_t outAt = 0;
};

// One request, read whole, for the HTTP library; the answer goes straight
// to the connection.
class RequestStream : public httplib::Stream {
 public:
  RequestStream(const Connection& connection, std::string request, milliseconds writeDeadline)
      : connection_(connection), request_(std::move(request)), writeDeadline_(writeDeadline) {}

  bool is_readable() const override { return at_ < request_.size(); }
  bool is_writable() const override {
    return net::WaitWritable(connection_.socket, writeDeadline_);
  }
  ssize_t read(char* data, std::size_t size) override {
    size = std::min(size, request_.size() - at_);
    std::copy_n(request_.data() + at_, size, data);
    at_ += size;
    return static_cast<ssize_t>(size);
  }
  ssize_t write(const char* data, std::size_t size) override {
    const Clock::time_point deadline = Clock::now() + writeDeadline_;
    for (std::size_t sent = 0; sent < size;) {
      const net::IoResult result = net::Send(connection_.socket, data + sent, size - sent);
      if (result.state == net::Io::Closed) return -1;
      sent += result.bytes;
      if (result.state == net::Io::WouldBlock) {
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
        if (left <= milliseconds(0) || !net::WaitWritable(connection_.socket, left)) return -1;
      }
    }
    return static_cast<ssize_t>(size);
  }
  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    ip = connection_.address;
    port = connection_.port;
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    ip = connection_.localAddress;
    port = connection_.localPort;
  }
  socket_t socket() const override { return connection_.socket; }

 private:
  const Connection& connection_;
  std::string request_;
  std::size_t at_ = 0;
  milliseconds writeDeadline_;
};

}  // namespace

struct HttpFront::Loop {
  Loop(socket_t listening, FrontSetup frontSetup, FrontHandlers frontHandlers)
      : listener(listening), setup(frontSetup), handlers(std::move(frontHandlers)) {}

  socket_t listener;
  FrontSetup setup;
  FrontHandlers handlers;
  net::Waker waker;
  std::atomic<bool> stopping = false;

  // The loop's own; a busy connection is its worker's until given back.
  std::map<Connection*, std::unique_ptr<Connection>> connections;
  std::map<std::string, int> perAddress;
  std::uint64_t bodiesHeld = 0;

  std::mutex returnedMutex;  // guards `returned`
  std::vector<std::pair<Connection*, bool>> returned;

  std::unique_ptr<httplib::ThreadPool> workers;

  void Run() {
    net::SetNonBlocking(listener);
    net::WidenBacklog(listener, kBacklog);
    workers = std::make_unique<httplib::ThreadPool>(static_cast<std::size_t>(setup.workers));
    std::vector<net::Watch> watches;
    std::vector<Connection*> watched;
    while (!stopping) {
      watches.clear();
      watched.clear();
      // Without a waker (no loopback socket to be had), answered
      // connections are taken back at the next short wait.
      watches.push_back({waker.Ok() ? waker.Socket() : listener, true, false, false});
      watches.push_back({listener, true, false, false});
      Clock::time_point soonest = Clock::now() + (waker.Ok() ? kLongestWait : kShortWait);
      for (auto& [key, connection] : connections) {
        if (connection->phase == Connection::Phase::Busy) continue;
        const bool writing = connection->outAt < connection->out.size();
        watches.push_back({connection->socket, !writing, writing, false});
        watched.push_back(key);
        soonest = std::min(soonest, connection->deadline);
      }
      const auto wait = std::chrono::duration_cast<milliseconds>(soonest - Clock::now());
      net::Poll(watches, std::clamp(wait + milliseconds(1), milliseconds(0), kLongestWait));
      if (watches[0].ready || !waker.Ok()) {
        if (waker.Ok()) waker.Drain();
        TakeReturned();
      }
      if (watches[1].ready) AcceptWaiting();
      for (std::size_t i = 0; i < watched.size(); ++i) {
        if (watches[i + 2].ready && connections.contains(watched[i])) Serve(*watched[i]);
      }
      Expire();
    }
    // The answers in progress end (the live board's listeners were told
    // to); then every connection is closed.
    workers->shutdown();
    TakeReturned();
    while (!connections.empty()) Close(*connections.begin()->second);
  }

  void Given(Connection* connection, bool keep) {
    {
      std::lock_guard lock(returnedMutex);
      returned.emplace_back(connection, keep);
    }
    waker.Wake();
  }

  void TakeReturned() {
    std::vector<std::pair<Connection*, bool>> taken;
    {
      std::lock_guard lock(returnedMutex);
      taken.swap(returned);
    }
    for (const auto& [connection, keep] : taken) {
      Release(*connection);
      if (!keep || stopping) {
        Close(*connection);
        continue;
      }
      connection->phase = Connection::Phase::Head;
      connection->frame.reset();
      connection->chunks.reset();
      connection->deadline =
          Clock::now() + (connection->in.empty() ? setup.idleDeadline : setup.headDeadline);
      Advance(*connection);
    }
  }

  void AcceptWaiting() {
    for (int i = 0; i < kAcceptTurn; ++i) {
      auto connection = std::make_unique<Connection>();
      connection->socket = net::Accept(listener, connection->address, connection->port);
      if (connection->socket == INVALID_SOCKET) return;
      if (static_cast<int>(connections.size()) >= setup.connections) {
        net::Close(connection->socket);  // no room even for a refusal
        continue;
      }
      net::LocalAddress(connection->socket, connection->localAddress, connection->localPort);
      connection->deadline = Clock::now() + setup.idleDeadline;
      Connection& added = *connection;
      connections.emplace(connection.get(), std::move(connection));
      int& count = perAddress[added.address];
      if (count >= setup.perAddress) {
        added.counted = false;
        Refuse(added, 503,
               "Z adresu " + added.address + " jest otwartych już najwięcej połączeń naraz (" +
                   std::to_string(setup.perAddress) + "); spróbuj za chwilę.");
        continue;
      }
      ++count;
    }
  }

  void Serve(Connection& connection) {
    if (connection.phase == Connection::Phase::Closing) return Linger(connection);
    // A request's head has its time from its first byte.
    const bool waiting = connection.phase == Connection::Phase::Head && connection.in.empty();
    char piece[kReadPiece];
    for (std::size_t taken = 0; taken < kReadTurn;) {
      const net::IoResult result = net::Receive(connection.socket, piece, sizeof piece);
      if (result.state == net::Io::Closed) return Close(connection);
      if (result.state == net::Io::WouldBlock) break;
      if (waiting && taken == 0) connection.deadline = Clock::now() + setup.headDeadline;
      connection.in.append(piece, result.bytes);
      taken += result.bytes;
      // Never more than one whole request's worth ahead.
      if (connection.in.size() > setup.maxHead + setup.maxBody + kReadTurn) break;
    }
    Advance(connection);
  }

  // Reads as far as the bytes go: the head, then the body; a whole request
  // goes to a worker.
  void Advance(Connection& connection) {
    if (connection.phase == Connection::Phase::Head && !TakeHead(connection)) return;
    if (connection.phase != Connection::Phase::Body) return;
    const RequestFrame& frame = *connection.frame;
    std::size_t end = 0;
    if (connection.chunks) {
      switch (connection.chunks->Read(std::string_view(connection.in).substr(frame.headLength))) {
        case ChunkedBody::State::More:
          return;
        case ChunkedBody::State::Bad:
          return Refuse(connection, 400, "Niepoprawne kawałki ciała zapytania (chunked).");
        case ChunkedBody::State::TooLong:
          return Refuse(connection, 413,
                        "Przesłane dane są za duże: najwyżej " + std::to_string(setup.maxBody) +
                            " bajtów (opcja --max-upload).");
        case ChunkedBody::State::Done:
          end = frame.headLength + connection.chunks->End();
      }
    } else {
      if (connection.in.size() - frame.headLength < *frame.length) return;
      end = frame.headLength + static_cast<std::size_t>(*frame.length);
    }
    std::string request = connection.in.substr(0, end);
    connection.in.erase(0, end);
    connection.phase = Connection::Phase::Busy;
    Connection* busy = &connection;
    workers->enqueue([this, busy, request = std::move(request)]() mutable {
      RequestStream stream(*busy, std::move(request), setup.writeDeadline);
      bool keep = false;
      try {
        keep = handlers.answer(stream);
      } catch (...) {
        keep = false;
      }
      Given(busy, keep);
    });
  }

  // True when the head has come whole and its body may follow.
  bool TakeHead(Connection& connection) {
    std::optional<RequestFrame> frame = ReadHead(connection.in);
    if (!frame) {
      if (connection.in.size() > setup.maxHead) {
        Refuse(connection, 431, "Nagłówki zapytania są za długie.");
      }
      return false;
    }
    if (frame->headLength > setup.maxHead) {
      Refuse(connection, 431, "Nagłówki zapytania są za długie.");
      return false;
    }
    if (frame->status != 0) {
      Refuse(connection, frame->status, frame->error);
      return false;
    }
    if (FrontRefusal refusal = handlers.check(*frame); refusal.status != 0) {
      Refused(connection, refusal);
      return false;
    }
    const std::uint64_t size = frame->chunked ? setup.maxBody : *frame->length;
    if (size > setup.maxBody) {  // the check refuses these first; never held
      Refuse(connection, 413, "Przesłane dane są za duże (opcja --max-upload).");
      return false;
    }
    if (bodiesHeld + size > setup.bodiesHeld) {
      Refuse(connection, 503, "Serwer przyjmuje teraz za dużo danych naraz; spróbuj za chwilę.");
      return false;
    }
    bodiesHeld += size;
    connection.held = size;
    if (frame->expectsContinue) {
      // Answered here: the library sees the request as if it had come
      // without asking.
      connection.in = WithoutHeader(connection.in, *frame, "Expect");
      frame = ReadHead(connection.in);
      static constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
      net::Send(connection.socket, kContinue.data(), kContinue.size());
    }
    if (frame->chunked) connection.chunks.emplace(setup.maxBody);
    connection.frame = std::move(frame);
    connection.phase = Connection::Phase::Body;
    connection.deadline = Clock::now() + setup.headDeadline +
                          milliseconds(size * 1000 / std::max<std::uint64_t>(1, setup.slowestBody));
    return true;
  }

  void Refuse(Connection& connection, int status, const std::string& message) {
    Refused(connection, handlers.refusal(status, message));
  }

  // The refusal is written, then the connection ends (what the client
  // still sends is read and dropped for a moment, so that it gets the
  // answer whole rather than a reset).
  void Refused(Connection& connection, const FrontRefusal& refusal) {
    Release(connection);
    connection.phase = Connection::Phase::Closing;
    connection.out = Written(refusal);
    connection.outAt = 0;
    connection.deadline = Clock::now() + kLinger;
    Linger(connection);
  }

  void Linger(Connection& connection) {
    if (connection.outAt < connection.out.size()) {
      const net::IoResult result =
          net::Send(connection.socket, connection.out.data() + connection.outAt,
                    connection.out.size() - connection.outAt);
      if (result.state == net::Io::Closed) return Close(connection);
      connection.outAt += result.bytes;
      if (connection.outAt < connection.out.size()) return;
      net::ShutdownSending(connection.socket);
      connection.in.clear();
      return;
    }
    char piece[kReadPiece];
    for (std::size_t taken = 0; taken < kReadTurn;) {
      const net::IoResult result = net::Receive(connection.socket, piece, sizeof piece);
      if (result.state == net::Io::Closed) return Close(connection);
      if (result.state == net::Io::WouldBlock) return;
      taken += result.bytes;
    }
  }

  void Expire() {
    const Clock::time_point now = Clock::now();
    std::vector<Connection*> late;
    for (auto& [key, connection] : connections) {
      if (connection->phase != Connection::Phase::Busy && connection->deadline <= now) {
        late.push_back(key);
      }
    }
    for (Connection* connection : late) {
      if (connection->phase == Connection::Phase::Body) {
        Refuse(*connection, 408, "Ciało zapytania nie przyszło w całości na czas.");
      } else {
        // A head that never came whole is not answered: no request was made.
        Close(*connection);
      }
    }
  }

  void Release(Connection& connection) {
    bodiesHeld -= connection.held;
    connection.held = 0;
  }

  void Close(Connection& connection) {
    Release(connection);
    net::Close(connection.socket);
    if (connection.counted) {
      if (--perAddress[connection.address] <= 0) perAddress.erase(connection.address);
    }
    connections.erase(&connection);
  }
};

HttpFront::HttpFront(socket_t listener, FrontSetup setup, FrontHandlers handlers)
    : loop_(std::make_unique<Loop>(listener, setup, std::move(handlers))) {}

HttpFront::~HttpFront() = default;

void HttpFront::Run() {
  loop_->Run();
}

void HttpFront::Stop() {
  loop_->stopping = true;
  loop_->waker.Wake();
}

}  // namespace tablica::service
