#pragma once

// The text tables of a timetable feed, read as the operators write them:
// an optional byte-order mark, CRLF or LF line ends, fields in double
// quotes (with "" for a quote, commas and line breaks inside), columns in
// any order, unknown columns ignored. The reader is fed in pieces as they
// come out of the archive, so a table is never held whole.

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tablica::live {

// One record's fields; each view lives only during the callback.
using CsvFields = std::span<const std::string_view>;

class CsvReader {
 public:
  // `onRecord` gets every record, the header first; returning false stops
  // the reading. A record longer than `maxRecord` bytes is an error.
  explicit CsvReader(std::function<bool(CsvFields)> onRecord, std::size_t maxRecord = 1 << 16);

  // Feeds the next piece; false when the reading stopped or failed.
  bool Feed(std::string_view piece);
  // The end of the table: the last record even without a line end.
  bool Finish();
  // Polish, when Feed or Finish failed; empty when the callback stopped it.
  const std::string& Error() const { return error_; }

 private:
  bool Parse(bool atEnd);
  // Reads one record from `pos_`; false when it is not complete yet.
  bool ParseRecord(bool atEnd, bool& stop);

  std::function<bool(CsvFields)> onRecord_;
  std::size_t maxRecord_;
  std::string buffer_;
  std::size_t pos_ = 0;
  bool first_ = true;
  bool stopped_ = false;
  std::string error_;
  std::vector<std::string_view> fields_;
  std::vector<std::string> unquoted_;  // fields with "" turned into "
  std::size_t unquotedUsed_ = 0;
};

// A table's header: the column of each name, or npos when the feed has none.
class CsvHeader {
 public:
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);
  explicit CsvHeader(CsvFields header);
  std::size_t Column(std::string_view name) const;

 private:
  std::vector<std::string> names_;
};

// A field of `record` by its column; empty when the column is missing or
// the record short. Spaces around the value are dropped.
std::string_view FieldAt(CsvFields record, std::size_t column);

}  // namespace tablica::live
