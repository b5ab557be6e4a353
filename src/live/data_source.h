#pragma once

// A line of live data for the board: a value out of a JSON document (a
// JSON Pointer, RFC 6901) put into a text, or the titles of an RSS 2.0 or
// Atom feed. A source remembers its last good answer: a source that fails
// keeps showing it, says so once, and shows the page's "none" text until
// its first answer.

#include <chrono>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "live/live_source.h"

namespace tablica::live {

// The value at `pointer` in the JSON document `bytes` as text (a string
// as it is, a number as written, true/false/null, an object or array as
// compact JSON); the Polish reason when the document or the pointer fail.
std::variant<std::string, std::string> JsonPointerText(const std::string& bytes,
                                                       const std::string& pointer);

// `text` with every {value} replaced by `value`.
std::string FillValue(const std::string& text, const std::string& value);

// The first `items` titles of an RSS 2.0 (item) or Atom (entry) feed; the
// Polish reason when it is neither.
std::variant<std::vector<std::string>, std::string> FeedTitles(const std::string& bytes,
                                                               std::size_t items);

// What a board knows of one source.
class SourceState {
 public:
  using Clock = std::chrono::steady_clock;
  explicit SourceState(std::string none) : none_(std::move(none)) {}

  // A good answer, shown from now on.
  void Succeeded(std::string text, Clock::time_point at);
  // A failed answer; returns the message to log, or empty when this fault
  // was already said (once until the source answers again).
  std::string Failed(const std::string& fault, Clock::time_point at);

  // The last good text, else the "none" text.
  const std::string& Text() const { return good_ ? *good_ : none_; }
  bool HasAnswer() const { return good_.has_value(); }
  std::optional<Clock::duration> Age(Clock::time_point now) const;
  const std::string& LastFault() const { return fault_; }
  bool Failing() const { return failing_; }

 private:
  std::string none_;
  std::optional<std::string> good_;
  Clock::time_point goodAt_{};
  std::string fault_;
  bool failing_ = false;
};

}  // namespace tablica::live
