// The HTTP front's socket calls on Windows (Winsock; the HTTP library has
// started it).

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>

#include "service/net_socket.h"

namespace tablica::service::net {

namespace {

IoResult Result(int count) {
  if (count > 0) return {Io::Done, static_cast<std::size_t>(count)};
  if (count == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) return {Io::WouldBlock, 0};
  return {Io::Closed, 0};
}

int Size(std::size_t size) {
  return static_cast<int>(std::min<std::size_t>(size, 1 << 30));
}

}  // namespace

bool SetNonBlocking(socket_t socket) {
  u_long on = 1;
  return ioctlsocket(socket, FIONBIO, &on) == 0;
}

void WidenBacklog(socket_t listener, int backlog) {
  ::listen(listener, backlog);
}

socket_t Accept(socket_t listener, std::string& address, int& port) {
  sockaddr_storage from{};
  int length = sizeof from;
  const socket_t client = ::accept(listener, reinterpret_cast<sockaddr*>(&from), &length);
  if (client == INVALID_SOCKET) return INVALID_SOCKET;
  if (!SetNonBlocking(client)) {
    closesocket(client);
    return INVALID_SOCKET;
  }
  AddressOf(from, address, port);
  return client;
}

IoResult Receive(socket_t socket, char* data, std::size_t size) {
  const int count = ::recv(socket, data, Size(size), 0);
  return count == 0 ? IoResult{Io::Closed, 0} : Result(count);
}

IoResult Send(socket_t socket, const char* data, std::size_t size) {
  if (size == 0) return {Io::Done, 0};
  return Result(::send(socket, data, Size(size), 0));
}

void ShutdownSending(socket_t socket) {
  ::shutdown(socket, SD_SEND);
}

void Close(socket_t socket) {
  closesocket(socket);
}

void LocalAddress(socket_t socket, std::string& address, int& port) {
  sockaddr_storage local{};
  int length = sizeof local;
  if (getsockname(socket, reinterpret_cast<sockaddr*>(&local), &length) == 0) {
    AddressOf(local, address, port);
  }
}

void Poll(std::vector<Watch>& watches, std::chrono::milliseconds timeout) {
  std::vector<WSAPOLLFD> fds(watches.size());
  for (std::size_t i = 0; i < watches.size(); ++i) {
    fds[i].fd = watches[i].socket;
    fds[i].events = static_cast<short>((watches[i].read ? POLLRDNORM : 0) |
                                       (watches[i].write ? POLLWRNORM : 0));
  }
  const int count =
      WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), static_cast<int>(timeout.count()));
  for (std::size_t i = 0; i < watches.size(); ++i) {
    watches[i].ready = count > 0 && fds[i].revents != 0;
  }
}

bool WaitWritable(socket_t socket, std::chrono::milliseconds timeout) {
  WSAPOLLFD fd{socket, POLLWRNORM, 0};
  return WSAPoll(&fd, 1, static_cast<int>(timeout.count())) > 0 && (fd.revents & POLLWRNORM) != 0;
}

Waker::Waker() {
  socket_ = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (socket_ == INVALID_SOCKET) return;
  sockaddr_in self{};
  self.sin_family = AF_INET;
  self.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof self;
  if (::bind(socket_, reinterpret_cast<sockaddr*>(&self), sizeof self) != 0 ||
      getsockname(socket_, reinterpret_cast<sockaddr*>(&self), &length) != 0 ||
      ::connect(socket_, reinterpret_cast<sockaddr*>(&self), sizeof self) != 0 ||
      !SetNonBlocking(socket_)) {
    closesocket(socket_);
    socket_ = INVALID_SOCKET;
  }
}

Waker::~Waker() {
  if (socket_ != INVALID_SOCKET) closesocket(socket_);
}

void Waker::Wake() {
  const char byte = 1;
  ::send(socket_, &byte, 1, 0);
}

void Waker::Drain() {
  char bytes[64];
  while (::recv(socket_, bytes, sizeof bytes, 0) > 0) {
  }
}

}  // namespace tablica::service::net
