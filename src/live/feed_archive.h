#pragma once

// A timetable feed's zip archive, read with libzip: each table streamed in
// pieces through the table reader, never unpacked whole.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "live/csv_table.h"

struct zip;

namespace tablica::live {

class FeedArchive {
 public:
  // The most a single table may unpack to: a bound on time for an archive
  // that claims less than it holds.
  static constexpr std::uint64_t kMaxTableBytes = std::uint64_t{4} << 30;

  FeedArchive();
  ~FeedArchive();
  FeedArchive(const FeedArchive&) = delete;
  FeedArchive& operator=(const FeedArchive&) = delete;

  // Opens the archive; the Polish reason on failure, empty on success.
  std::string Open(const std::filesystem::path& path);

  // Whether the archive holds the table (by its name, in any folder).
  bool Has(std::string_view table) const;

  // Streams the table through `onRecord` (the header first). A missing
  // table reads as empty when `required` is false. The Polish reason on
  // failure, empty on success (also when the callback stopped the reading).
  std::string Read(std::string_view table, bool required,
                   const std::function<bool(CsvFields)>& onRecord) const;

 private:
  zip* archive_ = nullptr;
};

}  // namespace tablica::live
