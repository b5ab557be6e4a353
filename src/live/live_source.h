#pragma once

// Bytes from an address or a file, every read bounded: the live feeds and
// data sources of a board come from strangers' servers.

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

namespace tablica::live {

inline constexpr std::size_t kMaxRealtimeBytes = std::size_t{16} << 20;
inline constexpr std::size_t kMaxDataBytes = std::size_t{2} << 20;

struct FetchLimits {
  std::size_t maxBytes = kMaxDataBytes;
  std::chrono::milliseconds connect{5000};
  std::chrono::milliseconds read{10000};
  std::chrono::milliseconds total{30000};  // the whole answer, however slowly it drips
  int redirects = 5;
};

struct FetchResult {
  std::string body;
  std::string error;         // Polish; empty on success
  bool notModified = false;  // 304: what the caller holds is still current
  std::string etag, lastModified;
};

// Whether `text` is an address this client takes (http or https).
bool IsAddress(const std::string& text);

// GET `url` (http or https only), following at most `limits.redirects`
// redirects to http or https addresses; `etag`/`lastModified` ask for the
// answer only if it changed.
// With `sink` the answer's bytes go to it (false stops the fetch) rather
// than into the result's body.
using FetchSink = std::function<bool(const char*, std::size_t)>;
FetchResult Fetch(const std::string& url, const FetchLimits& limits, const std::string& etag = {},
                  const std::string& lastModified = {}, const FetchSink& sink = {});

// An address through Fetch, anything else as a file (UTF-8 path) of at
// most `maxBytes`.
FetchResult ReadSource(const std::string& where, std::size_t maxBytes);

}  // namespace tablica::live
