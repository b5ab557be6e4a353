#pragma once

// A timetable feed given as an address, kept as a file in a folder: asked
// again at most once a day, and then with its ETag and Last-Modified so
// that an unchanged feed costs one short answer. A new feed replaces the
// kept one only when it has arrived whole.

#include <cstddef>
#include <filesystem>
#include <string>

#include "live/timetable.h"

namespace tablica::live {

class FeedCache {
 public:
  static constexpr std::size_t kMaxFeedBytes = std::size_t{512} << 20;
  static constexpr Instant kRecheck = 24 * 3600;

  explicit FeedCache(std::filesystem::path folder) : folder_(std::move(folder)) {}

  struct Result {
    std::filesystem::path file;  // the kept feed; empty when there is none
    bool changed = false;        // a new feed arrived on this call
    std::string error;           // Polish; the kept feed (if any) stays usable
  };
  // The feed of `url` at `now`: fetched when none is kept or a day has
  // passed since it was last asked for.
  Result Update(const std::string& url, Instant now) const;

 private:
  std::filesystem::path folder_;
};

}  // namespace tablica::live
