#pragma once

// Where one HTTP/1.1 request ends in the bytes a client has sent so far:
// its head (request line and headers), then a body of Content-Length bytes
// or in chunks. The HTTP front reads whole requests this way before a
// worker answers them. Plain C++, bounded: nothing is copied but the head.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tablica::service {

struct RequestFrame {
  std::string method;
  std::string target;
  std::vector<std::pair<std::string, std::string>> headers;  // as sent
  std::size_t headLength = 0;           // the head's bytes, the blank line included
  std::optional<std::uint64_t> length;  // Content-Length; 0 when neither is sent
  bool chunked = false;
  bool expectsContinue = false;  // Expect: 100-continue
  int status = 0;                // a refusal (400, 501) with `error`
  std::string error;             // Polish

  std::optional<std::string_view> Header(std::string_view name) const;
};

// The head, when `bytes` hold all of it (up to the blank line); unset while
// it has not all come.
std::optional<RequestFrame> ReadHead(std::string_view bytes);

// A chunked body, read as it comes: where it ends, once it has.
class ChunkedBody {
 public:
  enum class State { More, Done, Bad, TooLong };
  explicit ChunkedBody(std::uint64_t limit) : limit_(limit) {}
  // `body` is everything after the head received so far (it only grows).
  State Read(std::string_view body);
  std::size_t End() const { return at_; }  // with Done: the body's length

 private:
  enum class Part { Size, Data, DataEnd, Trailer };
  std::uint64_t limit_;
  std::uint64_t taken_ = 0;
  std::uint64_t left_ = 0;
  std::size_t at_ = 0;
  Part part_ = Part::Size;
};

// The same request, without the header `name` (Expect, once the front has
// answered it).
std::string WithoutHeader(std::string_view request, const RequestFrame& frame,
                          std::string_view name);

}  // namespace tablica::service
