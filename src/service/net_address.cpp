// A socket address as text, above the platform seam: both backends' socket
// calls give the system's own address structure, which reads alike.

#include "service/net_socket.h"

namespace tablica::service::net {

void AddressOf(const sockaddr_storage& from, std::string& address, int& port) {
  char text[INET6_ADDRSTRLEN] = {};
  if (from.ss_family == AF_INET6) {
    const auto& in6 = reinterpret_cast<const sockaddr_in6&>(from);
    inet_ntop(AF_INET6, &in6.sin6_addr, text, sizeof text);
    port = ntohs(in6.sin6_port);
  } else {
    const auto& in4 = reinterpret_cast<const sockaddr_in&>(from);
    inet_ntop(AF_INET, &in4.sin_addr, text, sizeof text);
    port = ntohs(in4.sin_port);
  }
  address = text;
  if (address.starts_with("::ffff:") && address.find('.') != std::string::npos) {
    address.erase(0, 7);
  }
}

}  // namespace tablica::service::net
