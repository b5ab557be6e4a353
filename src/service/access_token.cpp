#include "service/access_token.h"

#include <fstream>

#include "picture/convert_options.h"
#include "service/service_options.h"

namespace tablica::service {

namespace {

constexpr std::size_t kMaxTokenFileBytes = 4096;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

TokenResult ReadTokenFile(const std::filesystem::path& file) {
  const std::string name = picture::Utf8Name(file);
  std::ifstream input(file, std::ios::binary);
  std::error_code ec;
  if (!input || std::filesystem::is_directory(file, ec)) {
    return {std::nullopt, "Nie mogę odczytać pliku z żetonem " + name + "."};
  }
  std::string text(kMaxTokenFileBytes + 1, '\0');
  input.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(input.gcount()));
  if (text.size() > kMaxTokenFileBytes) {
    return {std::nullopt, "Plik z żetonem " + name + " jest za duży (żeton to jedna linia)."};
  }
  std::size_t start = 0;
  while (start < text.size() && IsBlank(text[start])) ++start;
  std::size_t end = text.find_first_of("\r\n", start);
  if (end == std::string::npos) end = text.size();
  while (end > start && IsBlank(text[end - 1])) --end;
  std::string token = text.substr(start, end - start);
  if (token.empty()) return {std::nullopt, "Plik z żetonem " + name + " jest pusty."};
  for (unsigned char c : token) {
    if (c < 0x21 || c > 0x7e) {
      return {std::nullopt,
              "Żeton w pliku " + name + " może zawierać tylko widoczne znaki ASCII, bez spacji."};
    }
  }
  return {std::move(token), {}};
}

bool BearerMatches(std::string_view header, std::string_view expected) {
  constexpr std::string_view kScheme = "Bearer ";
  if (!header.starts_with(kScheme)) return false;
  const std::string_view given = header.substr(kScheme.size());
  // Every byte of the expected token is looked at, whatever the given one
  // is, so the time tells nothing about how much of it was right.
  unsigned difference = given.size() == expected.size() ? 0U : 1U;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const unsigned char theirs =
        i < given.size() ? static_cast<unsigned char>(given[i]) : static_cast<unsigned char>(0);
    difference |= theirs ^ static_cast<unsigned char>(expected[i]);
  }
  return difference == 0 && !expected.empty();
}

std::string CheckListenNeedsToken(std::string_view host, bool haveToken) {
  if (haveToken || IsLoopbackHost(host)) return {};
  return "Serwer nie nasłuchuje na adresie " + std::string(host) +
         " bez żetonu dostępu: każdy w sieci mógłby sterować tablicą. Podaj plik z żetonem "
         "opcją --token-file PLIK (żeton nigdy nie jest podawany w wierszu poleceń) albo słuchaj "
         "tylko na 127.0.0.1.";
}

}  // namespace tablica::service
