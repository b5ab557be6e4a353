#pragma once

// tablica-serwer's command line: where it listens, which port the board is
// on, the token that guards it, its name (for MQTT topics), the broker and
// the largest body a request may carry. Plain C++: no Qt needed to parse.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tablica::service {

inline constexpr std::uint64_t kDefaultMaxUpload = 32ULL * 1024 * 1024;
inline constexpr const char* kDefaultListenHost = "127.0.0.1";
inline constexpr int kDefaultListenPort = 8080;

// A host and a TCP port ("127.0.0.1:8080", "[::1]:8080", "broker:1883").
struct HostPort {
  std::string host;
  int port = 0;
};

struct MqttOptions {
  HostPort broker;
  std::optional<std::string> user;
  std::optional<std::filesystem::path> passwordFile;
  // The largest payload looked at: the same as the largest upload.
  std::uint64_t maxPayload = kDefaultMaxUpload;
  // Groups whose commands the board takes too (tablica/group/NAME/...).
  std::vector<std::string> groups;
  // The page's address for Home Assistant's link to the device (--url, or
  // made from the listen address once the service listens).
  std::string pageUrl;
};

struct ServiceOptions {
  std::optional<std::uint8_t> port;  // unset: the port named by ustaw.txt
  HostPort listen{kDefaultListenHost, kDefaultListenPort};
  std::optional<std::filesystem::path> tokenFile;
  std::optional<std::string> name;  // unset: the host name
  std::optional<std::string> url;   // the page's address as others reach it
  std::optional<MqttOptions> mqtt;
  std::uint64_t maxUpload = kDefaultMaxUpload;
  // Further names the service answers to (--host, any number), e.g. a
  // reverse proxy's.
  std::vector<std::string> hostNames;
  // The one other site whose pages may use the API (--allow-origin).
  std::optional<std::string> allowOrigin;
};

struct ParsedServiceOptions {
  std::optional<ServiceOptions> options;
  bool help = false;
  std::string error;  // Polish, when neither options nor help
};

ParsedServiceOptions ParseServiceOptions(const std::vector<std::string>& args);

// "HOST:PORT"; the host may be an IPv6 address in brackets. Unset when the
// text is not one.
std::optional<HostPort> ParseHostPort(std::string_view text);

// Whether `host` is this machine's loopback interface (127.0.0.0/8, ::1,
// "localhost"): only there may the service listen without a token.
bool IsLoopbackHost(std::string_view host);

// A board's name goes into MQTT topics: letters, digits, '-' and '_' only,
// at most 64 of them. Returns the Polish reason it cannot be used, or empty.
std::string CheckBoardName(std::string_view name);

// A group's name, with the rules of a board's name; the Polish reason it
// cannot be used, or empty.
std::string CheckGroupName(std::string_view name);

// The Polish --help text.
std::string ServiceUsage();

}  // namespace tablica::service
