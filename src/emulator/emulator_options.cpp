#include "emulator/emulator_options.h"

#include <charconv>

namespace emulator {

const char* const kEmulatorUsage =
    "Użycie: tablica-emulator [--port N] [--headless] [--json] [--baud B]\n"
    "\n"
    "Wirtualna tablica informacyjna na pseudoterminalu.\n"
    "  --port N     udostępnia tablicę jako port COM N (dowiązanie comN w\n"
    "               $XDG_CONFIG_HOME/zapis-bitmapy/ports), usuwane przy wyjściu\n"
    "  --headless   rysuje tablice w terminalu zamiast w oknie\n"
    "  --json       wypisuje każdą odebraną ramkę jako wiersz JSON\n"
    "  --baud B     czyta w tempie linii B bodów (10 bitów na bajt)\n";

namespace {

std::optional<long> ParseNumber(const std::string& text) {
  long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

ParsedOptions ParseEmulatorOptions(const std::vector<std::string>& args) {
  EmulatorOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--headless") {
      options.headless = true;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--port" || arg == "--baud") {
      if (i + 1 >= args.size()) return {std::nullopt, "Brak wartości po " + arg + "."};
      const auto value = ParseNumber(args[++i]);
      if (arg == "--port") {
        if (!value || *value < 1 || *value > 255) {
          return {std::nullopt, "Numer portu musi być liczbą z zakresu 1..255: " + args[i] + "."};
        }
        options.port = static_cast<int>(*value);
      } else {
        if (!value || *value < 50 || *value > 4000000) {
          return {std::nullopt,
                  "Prędkość musi być liczbą bodów z zakresu 50..4000000: " + args[i] + "."};
        }
        options.baud = static_cast<std::uint32_t>(*value);
      }
    } else {
      return {std::nullopt, "Nieznana opcja: " + arg + "."};
    }
  }
  return {options, {}};
}

}  // namespace emulator
