#include "service/site_rules.h"

#include <algorithm>

namespace tablica::service {

namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
  return lower;
}

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A header's value in a message: printable ASCII, cut short.
std::string Shown(std::string_view value) {
  std::string shown;
  for (char c : value.substr(0, 80)) {
    shown += c >= ' ' && c <= '~' ? c : '?';
  }
  return value.size() > 80 ? shown + "…" : shown;
}

// The name in a Host value ("Name:8080" -> "name", "[::1]:80" -> "::1"),
// or empty when it is not one.
std::string NameOf(std::string_view host) {
  host = Trimmed(host);
  std::string_view name = host;
  std::string_view rest;
  if (host.starts_with('[')) {
    const std::size_t close = host.find(']');
    if (close == std::string_view::npos) return {};
    name = host.substr(1, close - 1);
    rest = host.substr(close + 1);
  } else if (const std::size_t colon = host.find(':'); colon != std::string_view::npos) {
    name = host.substr(0, colon);
    rest = host.substr(colon);
  }
  if (!rest.empty() && (rest[0] != ':' || rest.size() < 2 ||
                        rest.find_first_not_of("0123456789", 1) != std::string_view::npos)) {
    return {};
  }
  const bool ipv6 = host.starts_with('[');
  for (char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '-' || c == '.' || c == '_' || (ipv6 && c == ':');
    if (!ok) return {};
  }
  return Lower(name);
}

// An address written as numbers: four decimal parts, or IPv6 (which a
// Host can only carry in brackets).
bool IsAddressLiteral(std::string_view name) {
  if (name.find(':') != std::string_view::npos) return true;
  int parts = 0;
  for (std::size_t start = 0; start <= name.size(); ++parts) {
    const std::size_t dot = std::min(name.find('.', start), name.size());
    const std::string_view part = name.substr(start, dot - start);
    if (part.empty() || part.size() > 3 ||
        part.find_first_not_of("0123456789") != std::string_view::npos) {
      return false;
    }
    start = dot + 1;
  }
  return parts == 4;
}

bool ChangesSomething(std::string_view method) {
  return method == "POST" || method == "PUT" || method == "PATCH";
}

}  // namespace

SiteRules MakeSiteRules(std::string_view listenHost, std::string_view machineName,
                        const std::vector<std::string>& extraNames,
                        std::optional<std::string> allowedOrigin) {
  SiteRules rules;
  rules.allowedOrigin = std::move(allowedOrigin);
  rules.anyAddress = listenHost.empty() || listenHost == "0.0.0.0" || listenHost == "::";
  auto add = [&rules](std::string_view name) {
    std::string lower = Lower(Trimmed(name));
    if (lower.starts_with('[') && lower.ends_with(']')) lower = lower.substr(1, lower.size() - 2);
    if (!lower.empty() &&
        std::find(rules.hostNames.begin(), rules.hostNames.end(), lower) == rules.hostNames.end()) {
      rules.hostNames.push_back(lower);
    }
  };
  for (std::string_view name :
       {std::string_view("localhost"), std::string_view("127.0.0.1"), std::string_view("::1")}) {
    add(name);
  }
  if (!rules.anyAddress) add(listenHost);
  add(machineName);
  add(machineName.substr(0, machineName.find('.')));
  for (const std::string& name : extraNames) add(name);
  return rules;
}

SiteVerdict CheckSite(const SiteRules& rules, const RequestHead& head) {
  if (!head.host) return {400, "Zapytanie nie ma nagłówka Host."};
  const std::string name = NameOf(*head.host);
  const bool own = !name.empty() && (std::find(rules.hostNames.begin(), rules.hostNames.end(),
                                               name) != rules.hostNames.end() ||
                                     (rules.anyAddress && IsAddressLiteral(name)));
  if (!own) {
    return {421, "Serwer tablicy nie odpowiada pod nazwą „" + Shown(*head.host) +
                     "” (nagłówek Host); inną nazwę, np. pośrednika, dodaje opcja --host NAZWA."};
  }
  if (head.origin) {
    const std::string origin = Lower(Trimmed(*head.origin));
    const std::string host = Lower(Trimmed(*head.host));
    const bool same = origin == "http://" + host || origin == "https://" + host;
    if (!same && origin != rules.allowedOrigin) {
      return {403, "Zapytania ze strony „" + Shown(*head.origin) +
                       "” są odrzucane: tablicą steruje tylko jej własna strona (inną "
                       "dopuszcza opcja --allow-origin ADRES)."};
    }
  }
  if (ChangesSomething(head.method) &&
      BodyKindOf(head.contentType.value_or("")) == BodyKind::Refused) {
    return {415, "Nieobsługiwany typ treści „" + Shown(head.contentType.value_or("")) +
                     "”: nagłówek Content-Type musi być application/json, image/… albo "
                     "application/octet-stream (np. curl -H 'Content-Type: application/json')."};
  }
  return {};
}

BodyKind BodyKindOf(std::string_view contentType) {
  const std::string type = Lower(Trimmed(contentType.substr(0, contentType.find(';'))));
  if (type == "application/json" || (type.starts_with("application/") && type.ends_with("+json"))) {
    return BodyKind::Json;
  }
  if ((type.starts_with("image/") && type.size() > 6) || type == "application/octet-stream") {
    return BodyKind::Picture;
  }
  return BodyKind::Refused;
}

std::optional<std::string> ParseOrigin(std::string_view text) {
  const std::string origin = Lower(Trimmed(text));
  std::string_view rest = origin;
  if (rest.starts_with("http://")) {
    rest.remove_prefix(7);
  } else if (rest.starts_with("https://")) {
    rest.remove_prefix(8);
  } else {
    return std::nullopt;
  }
  if (rest.empty() || NameOf(rest).empty()) return std::nullopt;
  return origin;
}

}  // namespace tablica::service
