#pragma once

// A line of live data kept current: a JSON value put into a text, or the
// titles of an RSS or Atom feed joined for a scrolling line. Asked every
// `every` seconds; Refresh may block (a worker's job), Text is cheap and
// may be called from another thread.

#include <functional>
#include <mutex>
#include <string>

#include "live/data_source.h"
#include "live/live_departures.h"

namespace tablica::live {

struct LineSource {
  enum class Kind { Data, Rss };
  Kind kind = Kind::Data;
  std::string url;
  std::string pointer;           // Data: RFC 6901
  std::string text = "{value}";  // Data: the line, {value} filled
  std::size_t items = 5;         // Rss: titles shown
  int every = 300;               // seconds between asking
  std::string none = "Brak danych";
};

class LiveLine {
 public:
  using Log = std::function<void(const std::string&)>;
  LiveLine(LineSource source, Log log);

  void Refresh(Instant now);
  std::string Text() const;
  SourceStatus Status(Instant now) const;

 private:
  LineSource config_;
  Log log_;
  mutable std::mutex mutex_;  // guards what follows
  SourceState state_;
  Instant askedAt_ = 0, goodAt_ = 0;
  bool asked_ = false;
};

}  // namespace tablica::live
