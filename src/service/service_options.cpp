#include "service/service_options.h"

#include <algorithm>
#include <charconv>

#include "picture/convert_options.h"
#include "serial/comm_settings.h"
#include "service/site_rules.h"

namespace tablica::service {

namespace {

constexpr std::size_t kMaxNameLength = 64;
constexpr std::size_t kMostGroups = 64;
constexpr std::size_t kLongestUrl = 2048;

bool TopicSafe(std::string_view name) {
  for (char c : name) {
    const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '_';
    if (!safe) return false;
  }
  return true;
}

// An address a browser can open: http(s), no spaces or control characters.
bool PageUrl(std::string_view url) {
  if (!url.starts_with("http://") && !url.starts_with("https://")) return false;
  if (url.size() > kLongestUrl || url.ends_with("//")) return false;
  for (char c : url) {
    if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f) return false;
  }
  return true;
}

template <typename Number>
std::optional<Number> WholeNumber(std::string_view text) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
    return std::nullopt;
  }
  return value;
}

// Options that take a value, and what their value is called in messages.
bool TakesValue(std::string_view option) {
  return option == "--port" || option == "--listen" || option == "--token-file" ||
         option == "--name" || option == "--mqtt" || option == "--mqtt-user" ||
         option == "--mqtt-password-file" || option == "--max-upload" || option == "--group" ||
         option == "--url" || option == "--host" || option == "--allow-origin";
}

// Stores `value` of `option`; returns the Polish reason it is wrong, or empty.
std::string Store(std::string_view option, const std::string& value, ServiceOptions& options,
                  MqttOptions& mqtt, bool& mqttGiven) {
  if (option == "--port") {
    const PortArgument port = ReadPortArgument(value);
    if (!port.port) return port.error;
    options.port = port.port;
  } else if (option == "--listen") {
    const auto where = ParseHostPort(value);
    if (!where) {
      return "Adres do nasłuchu musi mieć postać ADRES:PORT (np. 127.0.0.1:8080): " + value + ".";
    }
    options.listen = *where;
  } else if (option == "--token-file") {
    options.tokenFile = picture::PathFromUtf8(value);
  } else if (option == "--name") {
    if (std::string problem = CheckBoardName(value); !problem.empty()) return problem;
    options.name = value;
  } else if (option == "--mqtt") {
    const auto where = ParseHostPort(value);
    if (!where) {
      return "Adres brokera MQTT musi mieć postać ADRES:PORT (np. 127.0.0.1:1883): " + value + ".";
    }
    mqtt.broker = *where;
    mqttGiven = true;
  } else if (option == "--group") {
    if (std::string problem = CheckGroupName(value); !problem.empty()) return problem;
    if (mqtt.groups.size() == kMostGroups) {
      return "Tablica może należeć najwyżej do " + std::to_string(kMostGroups) + " grup.";
    }
    if (std::find(mqtt.groups.begin(), mqtt.groups.end(), value) == mqtt.groups.end()) {
      mqtt.groups.push_back(value);
    }
  } else if (option == "--url") {
    if (!PageUrl(value)) {
      return "Adres strony (--url) musi zaczynać się od http:// albo https:// i nie mieć "
             "spacji: " +
             value + ".";
    }
    options.url = value;
  } else if (option == "--mqtt-user") {
    mqtt.user = value;
  } else if (option == "--mqtt-password-file") {
    mqtt.passwordFile = picture::PathFromUtf8(value);
  } else if (option == "--max-upload") {
    const auto bytes = WholeNumber<std::uint64_t>(value);
    if (!bytes || *bytes == 0) {
      return "Największy rozmiar przesyłanych danych musi być liczbą bajtów większą od zera: " +
             value + ".";
    }
    options.maxUpload = *bytes;
  } else if (option == "--host") {
    if (!ParseOrigin("http://" + value)) {
      return "Nazwa serwera w --host musi być nazwą albo adresem (np. tablica.example.pl): " +
             value + ".";
    }
    options.hostNames.push_back(value);
  } else if (option == "--allow-origin") {
    options.allowOrigin = ParseOrigin(value);
    if (!options.allowOrigin) {
      return "Opcja --allow-origin wymaga adresu strony bez ścieżki (np. "
             "https://panel.example.pl): " +
             value + ".";
    }
  }
  return {};
}

}  // namespace

std::optional<HostPort> ParseHostPort(std::string_view text) {
  std::string_view host;
  std::string_view port;
  if (text.starts_with('[')) {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':') {
      return std::nullopt;
    }
    host = text.substr(1, close - 1);
    port = text.substr(close + 2);
  } else {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) return std::nullopt;
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (host.find(':') != std::string_view::npos) return std::nullopt;  // IPv6 needs brackets
  }
  const auto number = WholeNumber<int>(port);
  if (host.empty() || !number || *number < 1 || *number > 65535) return std::nullopt;
  for (char c : host) {
    if (static_cast<unsigned char>(c) <= ' ' || c == '/' || c == '[' || c == ']') {
      return std::nullopt;
    }
  }
  return HostPort{std::string(host), *number};
}

bool IsLoopbackHost(std::string_view host) {
  if (host == "localhost" || host == "::1") return true;
  // 127.0.0.0/8, written as four decimal numbers.
  if (!host.starts_with("127.")) return false;
  int parts = 0;
  std::size_t start = 0;
  while (start <= host.size()) {
    const std::size_t dot = std::min(host.find('.', start), host.size());
    const auto part = WholeNumber<int>(host.substr(start, dot - start));
    if (!part || *part > 255 || dot - start > 3) return false;
    ++parts;
    start = dot + 1;
  }
  return parts == 4;
}

std::string CheckBoardName(std::string_view name) {
  if (name.empty()) return "Nazwa tablicy nie może być pusta.";
  if (name.size() > kMaxNameLength) {
    return "Nazwa tablicy może mieć najwyżej " + std::to_string(kMaxNameLength) + " znaki.";
  }
  if (!TopicSafe(name)) {
    return "Nazwa tablicy „" + std::string(name) +
           "” może zawierać tylko litery łacińskie, cyfry, „-” i „_” (jest częścią tematów "
           "MQTT); podaj inną opcją --name.";
  }
  if (name == "all") return "Nazwa „all” jest zajęta przez tematy dla wszystkich tablic.";
  if (name == "group") return "Nazwa „group” jest zajęta przez tematy grup tablic.";
  return {};
}

std::string CheckGroupName(std::string_view name) {
  if (name.empty() || name.size() > kMaxNameLength || !TopicSafe(name)) {
    return "Nazwa grupy „" + std::string(name) + "” może mieć od 1 do " +
           std::to_string(kMaxNameLength) +
           " liter łacińskich, cyfr, „-” i „_” (jest częścią tematów MQTT).";
  }
  return {};
}

ParsedServiceOptions ParseServiceOptions(const std::vector<std::string>& args) {
  ServiceOptions options;
  MqttOptions mqtt;
  bool mqttGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string option = args[i];
    std::string value;
    bool inlineValue = false;
    if (option == "--help" || option == "-h") return {std::nullopt, true, {}};
    if (const std::size_t equals = option.find('=');
        option.starts_with("--") && equals != std::string::npos) {
      value = option.substr(equals + 1);
      option.resize(equals);
      inlineValue = true;
    }
    if (!TakesValue(option)) {
      return {std::nullopt, false,
              option.starts_with("-") ? "Nieznana opcja: " + option + "."
                                      : "Nieoczekiwany argument: " + option + "."};
    }
    if (!inlineValue) {
      if (i + 1 >= args.size()) return {std::nullopt, false, "Brak wartości po " + option + "."};
      value = args[++i];
    }
    if (std::string problem = Store(option, value, options, mqtt, mqttGiven); !problem.empty()) {
      return {std::nullopt, false, problem};
    }
  }
  if (!mqttGiven && (mqtt.user || mqtt.passwordFile || !mqtt.groups.empty())) {
    return {std::nullopt, false,
            "Opcje --mqtt-user, --mqtt-password-file i --group działają tylko z --mqtt."};
  }
  if (mqtt.passwordFile && !mqtt.user) {
    return {std::nullopt, false, "Opcja --mqtt-password-file wymaga --mqtt-user."};
  }
  if (mqttGiven) {
    mqtt.maxPayload = options.maxUpload;
    options.mqtt = mqtt;
  }
  return {options, false, {}};
}

std::string ServiceUsage() {
  return "Użycie: tablica-serwer [--port N] [--listen ADRES:PORT] [--token-file PLIK]\n"
         "                      [--name NAZWA] [--url ADRES] [--mqtt ADRES:PORT\n"
         "                      [--mqtt-user U --mqtt-password-file PLIK] [--group G]...]\n"
         "                      [--max-upload BAJTY] [--host NAZWA]... [--allow-origin ADRES]\n"
         "\n"
         "Tablica w sieci: przyjmuje obrazy, tekst, pokazy i powiadomienia przez HTTP\n"
         "(i MQTT) i pokazuje je na tablicy; strona z podglądem tablicy pod adresem /.\n"
         "\n"
         "  --port N                 port COM N zamiast portu z pliku ustaw.txt\n"
         "  --listen ADRES:PORT      gdzie słuchać (domyślnie 127.0.0.1:8080)\n"
         "  --token-file PLIK        żeton dostępu z pliku: każde zapytanie API musi mieć\n"
         "                           nagłówek „Authorization: Bearer ŻETON”; konieczny,\n"
         "                           gdy adres nie jest adresem pętli zwrotnej\n"
         "  --name NAZWA             nazwa tablicy w tematach MQTT (domyślnie nazwa\n"
         "                           komputera): litery, cyfry, „-” i „_”\n"
         "  --url ADRES              adres strony tablicy, jak widzą go inni (np. za\n"
         "                           serwerem pośredniczącym); Home Assistant łączy z nim\n"
         "                           urządzenie (domyślnie adres nasłuchu)\n"
         "  --mqtt ADRES:PORT        broker MQTT\n"
         "  --group G                tablica należy też do grupy G: polecenia z tematów\n"
         "                           tablica/group/G/… (można podać wiele razy)\n"
         "  --mqtt-user U            użytkownik brokera\n"
         "  --mqtt-password-file P   hasło brokera z pliku\n"
         "  --max-upload BAJTY       największe przyjmowane ciało zapytania\n"
         "                           (domyślnie 33554432, czyli 32 MiB)\n"
         "  --host NAZWA             jeszcze jedna nazwa serwera w nagłówku Host (np.\n"
         "                           pośrednika); inne nazwy dostają odmowę\n"
         "  --allow-origin ADRES     strona z innego adresu, która może używać API\n"
         "                           (np. https://panel.example.pl); inne są odrzucane\n"
         "  --help                   ten opis\n";
}

}  // namespace tablica::service
