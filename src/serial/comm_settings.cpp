#include "serial/comm_settings.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "serial/settings_file.h"

namespace tablica {

PortArgument ReadPortArgument(std::string_view text) {
  int number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || number < 1 ||
      number > 254) {
    return {std::nullopt,
            "Numer portu musi być liczbą z zakresu 1..254: " + std::string(text) + "."};
  }
  return {static_cast<std::uint8_t>(number), {}};
}

namespace {

// The scanner's notion of whitespace: blank, tab, LF, VT, FF, CR. Bytes from
// 0x80 up are ordinary characters whatever the locale.
bool IsScanSpace(std::uint8_t c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsDigit(std::uint8_t c) {
  return c >= '0' && c <= '9';
}

constexpr std::size_t kLabelWordLimit = 10;

class TextCursor {
 public:
  explicit TextCursor(std::span<const std::uint8_t> text) : text_(text) {}
  bool AtEnd() const { return pos_ >= text_.size(); }
  std::uint8_t Peek() const { return text_[pos_]; }
  void Advance() { ++pos_; }
  void SkipSpace() {
    while (!AtEnd() && IsScanSpace(Peek())) Advance();
  }

 private:
  std::span<const std::uint8_t> text_;
  std::size_t pos_ = 0;
};

}  // namespace

std::optional<std::uint8_t> ScanPortNumber(std::span<const std::uint8_t> text) {
  text = text.first(std::min(text.size(), kSettingsReadLimit));
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == 0) {
      text = text.first(i);
      break;
    }
  }
  TextCursor cursor(text);

  // The label word: at least one, at most ten non-blank characters. A longer
  // word leaves its eleventh character on for the number.
  cursor.SkipSpace();
  std::size_t labelLength = 0;
  while (!cursor.AtEnd() && !IsScanSpace(cursor.Peek()) && labelLength < kLabelWordLimit) {
    cursor.Advance();
    ++labelLength;
  }
  if (labelLength == 0) return std::nullopt;

  // The number: optional sign, then decimal digits. Any number of digits is
  // taken; the port number is the value's low byte (the value modulo 256,
  // which stays exact however long the number is).
  cursor.SkipSpace();
  bool negative = false;
  if (!cursor.AtEnd() && (cursor.Peek() == '+' || cursor.Peek() == '-')) {
    negative = cursor.Peek() == '-';
    cursor.Advance();
  }
  if (cursor.AtEnd() || !IsDigit(cursor.Peek())) return std::nullopt;
  unsigned lowByte = 0;
  while (!cursor.AtEnd() && IsDigit(cursor.Peek())) {
    lowByte = (lowByte * 10 + (cursor.Peek() - '0')) & 0xFFu;
    cursor.Advance();
  }
  if (negative) lowByte = (256 - lowByte) & 0xFFu;
  return static_cast<std::uint8_t>(lowByte);
}

void LoadCommSettings(CommSettings& settings, const std::filesystem::path& file) {
  settings = CommSettings{};
  // Read-only: the file is never created or written. A missing, unreadable
  // or odd file leaves the defaults, silently.
  std::array<std::uint8_t, kSettingsReadLimit> buffer{};
  const std::size_t got = ReadSettingsFileStart(file, buffer);
  if (auto port = ScanPortNumber(std::span(buffer.data(), got))) settings.portNumber = *port;
}

}  // namespace tablica
