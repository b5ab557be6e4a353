#include "live/live_source.h"

#include <httplib.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>

namespace tablica::live {

namespace {

struct Address {
  std::string origin;  // scheme://host[:port]
  std::string target;  // path and query
};

std::optional<Address> SplitAddress(const std::string& url) {
  const auto schemeEnd = url.find("://");
  if (schemeEnd == std::string::npos) return std::nullopt;
  std::string scheme = url.substr(0, schemeEnd);
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (scheme != "http" && scheme != "https") return std::nullopt;
  const auto pathStart = url.find_first_of("/?#", schemeEnd + 3);
  Address address;
  address.origin = scheme + url.substr(schemeEnd, pathStart - schemeEnd);
  if (address.origin.size() <= scheme.size() + 3) return std::nullopt;
  address.target = pathStart == std::string::npos ? "/" : url.substr(pathStart);
  if (const auto fragment = address.target.find('#'); fragment != std::string::npos) {
    address.target.erase(fragment);
  }
  if (address.target.empty() || address.target.front() != '/') address.target.insert(0, "/");
  for (char c : url) {
    if (static_cast<unsigned char>(c) <= 0x20) return std::nullopt;
  }
  return address;
}

}  // namespace

bool IsAddress(const std::string& text) {
  return SplitAddress(text).has_value();
}

FetchResult Fetch(const std::string& url, const FetchLimits& limits, const std::string& etag,
                  const std::string& lastModified, const FetchSink& sink) {
  FetchResult result;
  std::string current = url;
  const auto deadline = std::chrono::steady_clock::now() + limits.total;
  for (int hop = 0;; ++hop) {
    const auto address = SplitAddress(current);
    if (!address) {
      result.error = "Adres „" + current + "” nie jest adresem http ani https.";
      return result;
    }
    httplib::Client client(address->origin);
    client.set_connection_timeout(
        std::chrono::duration_cast<std::chrono::microseconds>(limits.connect));
    client.set_read_timeout(std::chrono::duration_cast<std::chrono::microseconds>(limits.read));
    client.set_write_timeout(std::chrono::duration_cast<std::chrono::microseconds>(limits.read));
    client.set_follow_location(false);
    client.set_decompress(true);
    httplib::Headers headers;
    if (!etag.empty()) headers.emplace("If-None-Match", etag);
    if (!lastModified.empty()) headers.emplace("If-Modified-Since", lastModified);
    std::string body;
    std::size_t received = 0;
    bool tooBig = false, tooSlow = false, sinkStopped = false;
    const auto answer =
        client.Get(address->target, headers, [&](const char* data, std::size_t length) {
          if (received + length > limits.maxBytes) {
            tooBig = true;
            return false;
          }
          if (std::chrono::steady_clock::now() > deadline) {
            tooSlow = true;
            return false;
          }
          received += length;
          if (sink) {
            sinkStopped = !sink(data, length);
            return !sinkStopped;
          }
          body.append(data, length);
          return true;
        });
    if (tooBig) {
      result.error = "Odpowiedź z " + url + " jest większa niż " +
                     std::to_string(limits.maxBytes / 1024) + " KiB.";
      return result;
    }
    if (tooSlow) {
      result.error = "Odpowiedź z " + url + " nie przyszła w " +
                     std::to_string(limits.total.count() / 1000) + " s.";
      return result;
    }
    if (sinkStopped) {
      result.error = "Nie można zapisać pobranego " + url + ".";
      return result;
    }
    if (!answer) {
      result.error = "Nie można pobrać " + url + " (" + httplib::to_string(answer.error()) + ").";
      return result;
    }
    const httplib::Response& response = answer.value();
    if (response.status >= 300 && response.status < 400 && response.status != 304) {
      const std::string location = response.get_header_value("Location");
      if (location.empty() || hop >= limits.redirects) {
        result.error = "Adres " + url + " przekierowuje zbyt wiele razy.";
        return result;
      }
      // A path on the same server, else a whole address (checked on the next round).
      current = location.front() == '/' ? address->origin + location : location;
      continue;
    }
    if (response.status == 304) {
      result.notModified = true;
      return result;
    }
    if (response.status != 200) {
      // The whole address: one server may give a board several sources.
      result.error = "Serwer " + address->origin + " odpowiedział kodem " +
                     std::to_string(response.status) + " na " + current + ".";
      return result;
    }
    result.body = std::move(body);
    result.etag = response.get_header_value("ETag");
    result.lastModified = response.get_header_value("Last-Modified");
    return result;
  }
}

FetchResult ReadSource(const std::string& where, std::size_t maxBytes) {
  if (IsAddress(where)) {
    FetchLimits limits;
    limits.maxBytes = maxBytes;
    return Fetch(where, limits);
  }
  FetchResult result;
  std::ifstream file(std::filesystem::path(std::u8string(where.begin(), where.end())),
                     std::ios::binary);
  if (!file) {
    result.error = "Nie można otworzyć pliku " + where + ".";
    return result;
  }
  result.body.resize(maxBytes + 1);
  file.read(result.body.data(), static_cast<std::streamsize>(result.body.size()));
  result.body.resize(static_cast<std::size_t>(file.gcount()));
  if (result.body.size() > maxBytes) {
    result.body.clear();
    result.error =
        "Plik " + where + " jest większy niż " + std::to_string(maxBytes / 1024) + " KiB.";
  }
  return result;
}

}  // namespace tablica::live
