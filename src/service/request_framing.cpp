#include "service/request_framing.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace tablica::service {

namespace {

constexpr std::size_t kMaxChunkLine = 1024;
constexpr std::size_t kMaxTrailer = 8192;

bool SameLetters(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return lower(x) == lower(y);
  });
}

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

RequestFrame Refused(RequestFrame frame, int status, std::string error) {
  frame.status = status;
  frame.error = std::move(error);
  return frame;
}

// The request line: METHOD TARGET HTTP/1.x.
bool ReadRequestLine(std::string_view line, RequestFrame& frame) {
  const std::size_t first = line.find(' ');
  const std::size_t second = line.find(' ', first + 1);
  if (first == std::string_view::npos || second == std::string_view::npos || first == 0 ||
      second == first + 1) {
    return false;
  }
  frame.method = line.substr(0, first);
  frame.target = line.substr(first + 1, second - first - 1);
  const std::string_view version = line.substr(second + 1);
  return version == "HTTP/1.1" || version == "HTTP/1.0";
}

}  // namespace

std::optional<std::string_view> RequestFrame::Header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (SameLetters(key, name)) return std::string_view(value);
  }
  return std::nullopt;
}

std::optional<RequestFrame> ReadHead(std::string_view bytes) {
  RequestFrame frame;
  std::vector<std::string_view> lines;
  for (std::size_t at = 0;;) {
    const std::size_t end = bytes.find('\n', at);
    if (end == std::string_view::npos) return std::nullopt;
    std::string_view line = bytes.substr(at, end - at);
    if (line.ends_with('\r')) line.remove_suffix(1);
    at = end + 1;
    if (line.empty()) {
      frame.headLength = at;
      break;
    }
    lines.push_back(line);
  }
  if (lines.empty() || !ReadRequestLine(lines.front(), frame)) {
    return Refused(std::move(frame), 400, "Niepoprawny wiersz zapytania HTTP.");
  }
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    const std::size_t colon = line.find(':');
    if (colon == 0 || colon == std::string_view::npos || line.front() == ' ' ||
        line.front() == '\t' ||
        line.substr(0, colon).find_first_of(" \t") != std::string_view::npos) {
      return Refused(std::move(frame), 400, "Niepoprawny nagłówek zapytania HTTP.");
    }
    frame.headers.emplace_back(line.substr(0, colon), Trimmed(line.substr(colon + 1)));
  }
  for (const auto& [name, value] : frame.headers) {
    if (SameLetters(name, "Content-Length")) {
      std::uint64_t length = 0;
      auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), length);
      const bool whole = !value.empty() && end == value.data() + value.size();
      if (whole && error == std::errc::result_out_of_range) {
        length = std::numeric_limits<std::uint64_t>::max();  // digits beyond any size: too large
        error = std::errc();
      }
      if (!whole || error != std::errc() || (frame.length && *frame.length != length)) {
        return Refused(std::move(frame), 400, "Nagłówek Content-Length musi być liczbą bajtów.");
      }
      frame.length = length;
    } else if (SameLetters(name, "Transfer-Encoding")) {
      if (!SameLetters(value, "chunked")) {
        return Refused(std::move(frame), 501,
                       "Nieobsługiwane kodowanie przesyłania: „" + value.substr(0, 40) + "”.");
      }
      frame.chunked = true;
    } else if (SameLetters(name, "Expect") && SameLetters(value, "100-continue")) {
      frame.expectsContinue = true;
    }
  }
  if (frame.chunked && frame.length) {
    return Refused(std::move(frame), 400,
                   "Zapytanie podaje i Content-Length, i Transfer-Encoding.");
  }
  if (!frame.chunked && !frame.length) frame.length = 0;
  return frame;
}

ChunkedBody::State ChunkedBody::Read(std::string_view body) {
  for (;;) {
    switch (part_) {
      case Part::Size: {
        const std::size_t end = body.find('\n', at_);
        if (end == std::string_view::npos) {
          return body.size() - at_ > kMaxChunkLine ? State::Bad : State::More;
        }
        std::string_view line = body.substr(at_, end - at_);
        if (!line.ends_with('\r')) return State::Bad;
        line = Trimmed(line.substr(0, std::min(line.find(';'), line.size() - 1)));
        std::uint64_t size = 0;
        const auto [stop, error] =
            std::from_chars(line.data(), line.data() + line.size(), size, 16);
        if (line.empty() || line.size() > 15 || error != std::errc() ||
            stop != line.data() + line.size()) {
          return State::Bad;
        }
        if (size > limit_ - taken_) return State::TooLong;
        at_ = end + 1;
        left_ = size;
        part_ = size == 0 ? Part::Trailer : Part::Data;
        break;
      }
      case Part::Data: {
        const std::size_t take =
            static_cast<std::size_t>(std::min<std::uint64_t>(left_, body.size() - at_));
        at_ += take;
        left_ -= take;
        taken_ += take;
        if (left_ > 0) return State::More;
        part_ = Part::DataEnd;
        break;
      }
      case Part::DataEnd:
        if (body.size() - at_ < 2) return State::More;
        if (body.substr(at_, 2) != "\r\n") return State::Bad;
        at_ += 2;
        part_ = Part::Size;
        break;
      case Part::Trailer: {
        const std::size_t end = body.find('\n', at_);
        if (end == std::string_view::npos) {
          return body.size() - at_ > kMaxTrailer ? State::Bad : State::More;
        }
        const bool blank = end == at_ || (end == at_ + 1 && body[at_] == '\r');
        at_ = end + 1;
        if (blank) return State::Done;
        break;
      }
    }
  }
}

std::string WithoutHeader(std::string_view request, const RequestFrame& frame,
                          std::string_view name) {
  std::string result;
  result.reserve(request.size());
  std::size_t at = 0;
  bool first = true;
  while (at < frame.headLength) {
    const std::size_t end = request.find('\n', at) + 1;
    const std::string_view line = request.substr(at, end - at);
    const std::size_t colon = line.find(':');
    const bool drop = !first && colon != std::string_view::npos &&
                      SameLetters(Trimmed(line.substr(0, colon)), name);
    if (!drop) result.append(line);
    first = false;
    at = end;
  }
  result.append(request.substr(frame.headLength));
  return result;
}

}  // namespace tablica::service
