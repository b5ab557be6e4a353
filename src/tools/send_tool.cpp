#include "tools/send_tool.h"

#include <system_error>

#include "board/bitmap.h"
#include "session/board_session.h"

namespace tablica::tools {

namespace {

const char* const kSendUsage =
    "Użycie: tablica-send [--port N] [--can] [--second DRUGA.bmp] PIERWSZA.bmp\n"
    "        tablica-send --convert [opcje obrazu] [--port N] [--can] [--second DRUGI]\n"
    "                     [PIERWSZY]\n"
    "\n"
    "Wysyła bitmapę do tablicy informacyjnej, tak jak przycisk \"Wyślij\".\n"
    "  --port N         port COM N zamiast portu z pliku ustaw.txt\n"
    "  --can            wysyła też blok dla drugiej tablicy (przez CAN);\n"
    "                   bez --second druga tablica dostaje pierwszą bitmapę\n"
    "  --second PLIK    bitmapa dla drugiej tablicy (włącza --can)\n"
    "  --convert        przyjmuje dowolne obrazy (albo tekst zamiast pierwszego)\n"
    "                   i zamienia je na punkty tablicy jak tablica-convert,\n"
    "                   z tymi samymi opcjami obrazu (niżej)\n"
    "Kod wyjścia 0: wysłano wszystko; inny: błąd (opis na standardowym\n"
    "wyjściu błędów).\n"
    "\n"
    "        tablica-send --porty\n"
    "        tablica-send --przypisz N URZĄDZENIE\n"
    "Wypisuje porty szeregowe komputera (sterownik, adapter USB, nazwa\n"
    "/dev/serial/by-id, numer COM); przypisuje port COM N urządzeniu (najlepiej\n"
    "przez jego nazwę by-id, która nie zmienia się po przełożeniu adaptera).\n"
    "\n"
    "Opcje obrazu (tylko z --convert):\n";

}  // namespace

std::string SendUsage() {
  return std::string(kSendUsage) + picture::kConvertOptionsUsage;
}

ParsedSendOptions ParseSendOptions(const std::vector<std::string>& args) {
  SendToolOptions options;
  std::optional<std::filesystem::path> first;
  // The conversion options, taken by the same parser as tablica-convert's.
  picture::ConvertOptions conversion;
  bool convert = false;
  std::string conversionOption;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") return {std::nullopt, true, {}};
    std::string error;
    const picture::OptionTake took = picture::TakeConvertOption(args, i, conversion, error);
    if (took == picture::OptionTake::Failed) return {std::nullopt, false, error};
    if (took == picture::OptionTake::Taken) {
      if (conversionOption.empty()) conversionOption = arg.substr(0, arg.find('='));
      continue;
    }
    if (arg == "--convert") {
      convert = true;
    } else if (arg == "--can") {
      options.secondBoard = true;
    } else if (arg == "--port" || arg == "--second") {
      if (i + 1 >= args.size()) return {std::nullopt, false, "Brak wartości po " + arg + "."};
      const std::string& value = args[++i];
      if (arg == "--second") {
        options.second = picture::PathFromUtf8(value);
        options.secondBoard = true;
      } else {
        const PortArgument port = ReadPortArgument(value);
        if (!port.port) return {std::nullopt, false, port.error};
        options.port = port.port;
      }
    } else if (arg.size() > 1 && arg.starts_with("-")) {
      return {std::nullopt, false, "Nieznana opcja: " + arg + "."};
    } else if (first) {
      return {std::nullopt, false, "Podaj jeden plik dla pierwszej tablicy (drugi: --second)."};
    } else {
      first = picture::PathFromUtf8(arg);
    }
  }
  if (!convert) {
    if (!conversionOption.empty()) {
      return {std::nullopt, false, "Opcja " + conversionOption + " działa tylko z --convert."};
    }
    if (!first) return {std::nullopt, false, "Nie podano bitmapy do wysłania."};
    options.first = *first;
    return {options, false, {}};
  }
  if (std::string problem = picture::CheckConvertOptions(conversion, first.has_value());
      !problem.empty()) {
    return {std::nullopt, false, problem};
  }
  options.first = first.value_or(std::filesystem::path());
  options.convert = conversion;
  return {options, false, {}};
}

namespace {

// Loads a picture as the window's file button does; on failure shows the
// window's message, naming the full path.
std::optional<Bitmap> LoadPicture(const std::filesystem::path& path,
                                  const ShowMessageFn& showMessage) {
  auto result = LoadBitmapFile(path);
  if (result.Ok()) return std::move(result.bitmap);
  std::error_code ec;
  auto full = std::filesystem::absolute(path, ec);
  if (ec) full = path;
  showMessage(std::string(kCannotOpenFile) + full.string() + ".");
  return std::nullopt;
}

}  // namespace

int RunSendTool(const SendToolOptions& options, SerialPlatform& platform,
                const ShowMessageFn& showMessage, const std::filesystem::path& settingsFile,
                const PictureConverter& convert) {
  // The pictures first: a file that cannot be read sends nothing at all.
  const auto picture = [&](const std::filesystem::path& path,
                           const picture::ConvertOptions* options) -> std::optional<Bitmap> {
    if (!options) return LoadPicture(path, showMessage);
    if (!convert) {
      showMessage("Ta kompilacja tablica-send nie umie zamieniać obrazów (--convert).");
      return std::nullopt;
    }
    ConvertedPicture made = convert(*options, path);
    if (!made.error.empty()) {
      showMessage(made.error);
      return std::nullopt;
    }
    return std::move(made.bitmap);
  };
  const picture::ConvertOptions* conversion = options.convert ? &*options.convert : nullptr;
  const auto first = picture(options.first, conversion);
  if (!first) return kExitFailed;
  std::optional<Bitmap> second;
  if (options.second) {
    // The text, if any, is the first board's; the second takes a picture.
    picture::ConvertOptions secondConversion = conversion ? *conversion : picture::ConvertOptions();
    secondConversion.text.clear();
    second = picture(*options.second, conversion ? &secondConversion : nullptr);
    if (!second) return kExitFailed;
  }

  // As the window does when it starts: a port that cannot be opened is told
  // at once, and the Send then finds no port chosen and says so too.
  BoardSession session(platform, showMessage);
  session.OpenFromSettings(settingsFile, options.port);
  const Bitmap empty;
  const SendRequest request{*first, second ? *second : empty, options.secondBoard,
                            options.second.has_value()};
  return session.Send(request).Ok() ? kExitSent : kExitFailed;
}

}  // namespace tablica::tools
