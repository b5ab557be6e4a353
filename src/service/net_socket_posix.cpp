// The HTTP front's socket calls on POSIX systems.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "service/net_socket.h"

namespace tablica::service::net {

namespace {

// A client gone while an answer is written must not end the program.
constexpr int kSendFlags = MSG_NOSIGNAL;

IoResult Result(ssize_t count) {
  if (count > 0) return {Io::Done, static_cast<std::size_t>(count)};
  if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
    return {Io::WouldBlock, 0};
  }
  return {Io::Closed, 0};
}

}  // namespace

bool SetNonBlocking(socket_t socket) {
  const int flags = fcntl(socket, F_GETFL, 0);
  return flags >= 0 && fcntl(socket, F_SETFL, flags | O_NONBLOCK) == 0 &&
         fcntl(socket, F_SETFD, FD_CLOEXEC) == 0;
}

void WidenBacklog(socket_t listener, int backlog) {
  ::listen(listener, backlog);
}

socket_t Accept(socket_t listener, std::string& address, int& port) {
  sockaddr_storage from{};
  socklen_t length = sizeof from;
  const socket_t client = ::accept(listener, reinterpret_cast<sockaddr*>(&from), &length);
  if (client == INVALID_SOCKET) return INVALID_SOCKET;
  if (!SetNonBlocking(client)) {
    ::close(client);
    return INVALID_SOCKET;
  }
  AddressOf(from, address, port);
  return client;
}

IoResult Receive(socket_t socket, char* data, std::size_t size) {
  const ssize_t count = ::recv(socket, data, size, 0);
  return count == 0 ? IoResult{Io::Closed, 0} : Result(count);
}

IoResult Send(socket_t socket, const char* data, std::size_t size) {
  if (size == 0) return {Io::Done, 0};
  return Result(::send(socket, data, size, kSendFlags));
}

void ShutdownSending(socket_t socket) {
  ::shutdown(socket, SHUT_WR);
}

void Close(socket_t socket) {
  ::close(socket);
}

void LocalAddress(socket_t socket, std::string& address, int& port) {
  sockaddr_storage local{};
  socklen_t length = sizeof local;
  if (getsockname(socket, reinterpret_cast<sockaddr*>(&local), &length) == 0) {
    AddressOf(local, address, port);
  }
}

void Poll(std::vector<Watch>& watches, std::chrono::milliseconds timeout) {
  std::vector<pollfd> fds(watches.size());
  for (std::size_t i = 0; i < watches.size(); ++i) {
    fds[i].fd = watches[i].socket;
    fds[i].events =
        static_cast<short>((watches[i].read ? POLLIN : 0) | (watches[i].write ? POLLOUT : 0));
  }
  const int count = ::poll(fds.data(), fds.size(), static_cast<int>(timeout.count()));
  for (std::size_t i = 0; i < watches.size(); ++i) {
    watches[i].ready = count > 0 && fds[i].revents != 0;
  }
}

bool WaitWritable(socket_t socket, std::chrono::milliseconds timeout) {
  pollfd fd{socket, POLLOUT, 0};
  return ::poll(&fd, 1, static_cast<int>(timeout.count())) > 0 && (fd.revents & POLLOUT) != 0;
}

Waker::Waker() {
  socket_ = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (socket_ == INVALID_SOCKET) return;
  sockaddr_in self{};
  self.sin_family = AF_INET;
  self.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof self;
  if (::bind(socket_, reinterpret_cast<sockaddr*>(&self), sizeof self) != 0 ||
      getsockname(socket_, reinterpret_cast<sockaddr*>(&self), &length) != 0 ||
      ::connect(socket_, reinterpret_cast<sockaddr*>(&self), sizeof self) != 0 ||
      !SetNonBlocking(socket_)) {
    ::close(socket_);
    socket_ = INVALID_SOCKET;
  }
}

Waker::~Waker() {
  if (socket_ != INVALID_SOCKET) ::close(socket_);
}

void Waker::Wake() {
  const char byte = 1;
  ::send(socket_, &byte, 1, kSendFlags);
}

void Waker::Drain() {
  char bytes[64];
  while (::recv(socket_, bytes, sizeof bytes, 0) > 0) {
  }
}

}  // namespace tablica::service::net
