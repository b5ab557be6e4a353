#include "live/csv_table.h"

#include <algorithm>
#include <cstring>

namespace tablica::live {

namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

CsvReader::CsvReader(std::function<bool(CsvFields)> onRecord, std::size_t maxRecord)
    : onRecord_(std::move(onRecord)), maxRecord_(maxRecord) {}

bool CsvReader::Feed(std::string_view piece) {
  if (stopped_ || !error_.empty()) return false;
  if (pos_ > 0) {
    buffer_.erase(0, pos_);
    pos_ = 0;
  }
  buffer_.append(piece);
  if (first_ && buffer_.size() >= 3 && buffer_.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    buffer_.erase(0, 3);
  }
  if (first_ && buffer_.size() >= 3) first_ = false;
  return Parse(false);
}

bool CsvReader::Finish() {
  if (stopped_ || !error_.empty()) return false;
  return Parse(true);
}

bool CsvReader::Parse(bool atEnd) {
  bool stop = false;
  while (pos_ < buffer_.size()) {
    if (!ParseRecord(atEnd, stop)) {
      if (!error_.empty()) return false;
      if (buffer_.size() - pos_ > maxRecord_) {
        error_ = "wiersz dłuższy niż " + std::to_string(maxRecord_) + " bajtów";
        return false;
      }
      return true;
    }
    if (stop) {
      stopped_ = true;
      return false;
    }
  }
  return true;
}

bool CsvReader::ParseRecord(bool atEnd, bool& stop) {
  const char* const begin = buffer_.data();
  const std::size_t size = buffer_.size();
  std::size_t at = pos_;
  fields_.clear();
  unquotedUsed_ = 0;
  for (;;) {
    if (at < size && begin[at] == '"') {
      // A quoted field: up to the lone closing quote.
      std::size_t from = at + 1;
      std::size_t scan = from;
      bool doubled = false;
      for (;;) {
        const void* quote = std::memchr(begin + scan, '"', size - scan);
        if (!quote) {
          if (atEnd) error_ = "cudzysłów bez pary";
          return false;
        }
        scan = static_cast<std::size_t>(static_cast<const char*>(quote) - begin);
        if (scan + 1 < size && begin[scan + 1] == '"') {
          doubled = true;
          scan += 2;
          continue;
        }
        if (scan + 1 >= size && !atEnd) return false;
        break;
      }
      std::string_view raw(begin + from, scan - from);
      if (doubled) {
        if (unquotedUsed_ == unquoted_.size()) unquoted_.emplace_back();
        std::string& text = unquoted_[unquotedUsed_++];
        text.clear();
        for (std::size_t i = 0; i < raw.size(); ++i) {
          text.push_back(raw[i]);
          if (raw[i] == '"') ++i;
        }
        fields_.emplace_back(text);
      } else {
        fields_.push_back(raw);
      }
      at = scan + 1;
      // Anything between the closing quote and the separator is dropped.
      while (at < size && begin[at] != ',' && begin[at] != '\n' && begin[at] != '\r') ++at;
    } else {
      std::size_t end = at;
      while (end < size && begin[end] != ',' && begin[end] != '\n' && begin[end] != '\r') ++end;
      fields_.emplace_back(begin + at, end - at);
      at = end;
    }
    if (at >= size) {
      if (!atEnd) return false;
      break;
    }
    if (begin[at] == ',') {
      ++at;
      continue;
    }
    // A line end: \n, \r\n or a lone \r.
    if (begin[at] == '\r') {
      if (at + 1 >= size && !atEnd) return false;
      if (at + 1 < size && begin[at + 1] == '\n') ++at;
    }
    ++at;
    break;
  }
  pos_ = at;
  // Blank lines are no records.
  if (fields_.size() == 1 && fields_[0].empty()) return true;
  if (!onRecord_(CsvFields(fields_))) stop = true;
  return true;
}

CsvHeader::CsvHeader(CsvFields header) {
  for (std::string_view name : header) names_.emplace_back(Trim(name));
}

std::size_t CsvHeader::Column(std::string_view name) const {
  const auto found = std::find(names_.begin(), names_.end(), name);
  return found == names_.end() ? npos : static_cast<std::size_t>(found - names_.begin());
}

std::string_view FieldAt(CsvFields record, std::size_t column) {
  if (column >= record.size()) return {};
  return Trim(record[column]);
}

}  // namespace tablica::live
