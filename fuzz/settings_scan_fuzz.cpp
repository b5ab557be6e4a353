// Fuzzes the settings-file scanner against the C library's formatted input,
// which is the behaviour the scanner reproduces: "%10s %d" on the first 200
// bytes of the file, up to the first zero byte.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#include "serial/comm_settings.h"

namespace {

// The text the C scanner would see: at most 200 bytes, ended by a zero byte.
std::string ScannedText(std::span<const std::uint8_t> input) {
  std::string text;
  for (std::size_t i = 0; i < input.size() && i < tablica::kSettingsReadLimit; ++i) {
    if (input[i] == 0) break;
    text.push_back(static_cast<char>(input[i]));
  }
  return text;
}

[[noreturn]] void Mismatch(const char* what, int expected, int got) {
  std::fprintf(stderr, "scanner disagrees with sscanf (%s): expected %d, got %d\n", what, expected,
               got);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  const std::optional<std::uint8_t> port = tablica::ScanPortNumber(input);

  const std::string text = ScannedText(input);
  char label[11] = {};
  long long number = 0;
  int numberStart = -1;
  int numberEnd = -1;
  const int converted =
      std::sscanf(text.c_str(), "%10s %n%lld%n", label, &numberStart, &number, &numberEnd);
  if (converted < 2) {
    if (port) Mismatch("no number", -1, *port);
    return 0;
  }
  if (!port) Mismatch("number found", static_cast<int>(number & 0xFF), -1);
  // Past 18 digits the C library saturates; the scanner keeps the exact value
  // modulo 256, so only shorter numbers are compared.
  int digits = numberEnd - numberStart;
  if (text[static_cast<std::size_t>(numberStart)] == '+' ||
      text[static_cast<std::size_t>(numberStart)] == '-') {
    --digits;
  }
  if (digits <= 18) {
    const int expected = static_cast<int>(static_cast<unsigned long long>(number) & 0xFFu);
    if (expected != *port) Mismatch("low byte", expected, *port);
  }
  return 0;
}
