#pragma once

// The token that guards the API: read from a file (never from the command
// line, where every user of the machine could read it), and checked on every
// request in a time that does not depend on where a wrong token differs.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tablica::service {

struct TokenResult {
  std::optional<std::string> token;
  std::string error;  // Polish, when there is no token
};

// A token file holds the token on its first line; spaces and line ends
// around it are not part of it. An empty or unreadable file is refused.
TokenResult ReadTokenFile(const std::filesystem::path& file);

// Whether an Authorization header value is "Bearer <expected>". The
// comparison looks at every byte whatever it finds.
bool BearerMatches(std::string_view header, std::string_view expected);

// Listening on anything but the loopback interface needs a token; returns
// the Polish reason the service must not start, or empty.
std::string CheckListenNeedsToken(std::string_view host, bool haveToken);

}  // namespace tablica::service
