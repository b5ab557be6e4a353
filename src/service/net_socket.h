#pragma once

// The few socket calls the HTTP front needs, the same on every platform
// (a POSIX backend and a Winsock backend; the build picks one). Sockets are
// the HTTP library's `socket_t`; every one the front holds is non-blocking.

#include <httplib.h>

#include <chrono>
#include <string>
#include <vector>

namespace tablica::service::net {

// What became of a read or a write.
enum class Io { Done, WouldBlock, Closed };

struct IoResult {
  Io state = Io::Closed;
  std::size_t bytes = 0;  // with Done
};

bool SetNonBlocking(socket_t socket);
// A listening socket takes this many waiting connections (the library
// leaves room for a handful, too few for a crowd).
void WidenBacklog(socket_t listener, int backlog);
// A waiting connection, or INVALID_SOCKET when none waits; `address` is the
// client's address without its port.
socket_t Accept(socket_t listener, std::string& address, int& port);
IoResult Receive(socket_t socket, char* data, std::size_t size);
IoResult Send(socket_t socket, const char* data, std::size_t size);
// No more will be sent (the client sees the end of the answer).
void ShutdownSending(socket_t socket);
void Close(socket_t socket);
// The local end's address and port.
void LocalAddress(socket_t socket, std::string& address, int& port);
// The numeric text and the port of a socket's address, the same on every
// platform (the HTTP library brings each system's socket types); an IPv4
// client of an IPv6 socket reads as the same client over IPv4.
void AddressOf(const sockaddr_storage& from, std::string& address, int& port);

struct Watch {
  socket_t socket = INVALID_SOCKET;
  bool read = false;
  bool write = false;
  // Set by Poll: ready for what was asked, or failed (hung up, error).
  bool ready = false;
};
// Waits until one of `watches` is ready or `timeout` passes.
void Poll(std::vector<Watch>& watches, std::chrono::milliseconds timeout);
// Waits until `socket` takes more bytes; false after `timeout`.
bool WaitWritable(socket_t socket, std::chrono::milliseconds timeout);

// A loopback datagram socket connected to itself: another thread wakes a
// Poll by sending to it.
class Waker {
 public:
  Waker();
  ~Waker();
  Waker(const Waker&) = delete;
  Waker& operator=(const Waker&) = delete;
  bool Ok() const { return socket_ != INVALID_SOCKET; }
  socket_t Socket() const { return socket_; }
  void Wake();
  void Drain();

 private:
  socket_t socket_ = INVALID_SOCKET;
};

}  // namespace tablica::service::net
