#pragma once

// Who may talk to the service, decided from a request's headers alone.
// A page on another site can make a browser send requests here (and, by
// making its own name point at this machine, read the answers), so a
// request is taken only when
//  - its Host is one of the service's own names (any other name is a page
//    whose name was pointed here),
//  - its Origin, when it has one, is the service's own page or the one
//    origin the operator allowed,
//  - a body that changes something is of a type no page on another site
//    can send without the browser asking first (JSON, a picture, bytes).
// Plain C++: the HTTP side applies it before it reads a body.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tablica::service {

struct SiteRules {
  // The service's own names, lower case, without a port (an IPv6 address
  // without its brackets).
  std::vector<std::string> hostNames;
  // Listening on every interface: the machine's addresses are its own, so
  // any address written as numbers is (such a Host cannot be a page's name
  // pointed here).
  bool anyAddress = false;
  // An origin ("https://panel.example:8443") whose pages may use the API;
  // unset: only the service's own page.
  std::optional<std::string> allowedOrigin;
};

// The names of a service listening on `listenHost`, on a machine called
// `machineName`, reached also under `extraNames` (--host, for a reverse
// proxy).
SiteRules MakeSiteRules(std::string_view listenHost, std::string_view machineName,
                        const std::vector<std::string>& extraNames,
                        std::optional<std::string> allowedOrigin);

// What a request's headers say about it; an absent header is unset.
struct RequestHead {
  std::string_view method;
  std::optional<std::string_view> host;
  std::optional<std::string_view> origin;
  std::optional<std::string_view> contentType;
};

struct SiteVerdict {
  int status = 0;       // 0: the request may go on
  std::string message;  // Polish, with the status
};

SiteVerdict CheckSite(const SiteRules& rules, const RequestHead& head);

// The kind of a body by its declared type: what the service can read, or
// nothing when it must be refused (415).
enum class BodyKind { Json, Picture, Refused };
BodyKind BodyKindOf(std::string_view contentType);

// "--allow-origin": scheme, host and an optional port, nothing after them.
// Returns the origin as browsers send it (lower case), or unset.
std::optional<std::string> ParseOrigin(std::string_view text);

}  // namespace tablica::service
