#include "tools/convert_tool.h"

#include "picture/convert.h"
#include "picture/whole_files.h"

namespace tablica::tools {

namespace {

const char* const kConvertUsageStart =
    "Użycie: tablica-convert [opcje] [WEJŚCIE] WYJŚCIE.bmp\n"
    "        tablica-convert --text \"…\" [--text \"…\"] [opcje] WYJŚCIE.bmp\n"
    "        tablica-convert --departures ROZKŁAD.zip --stop ID …   (odjazdy: --departures "
    "--help)\n"
    "\n"
    "Zamienia obraz albo tekst na jednobitową bitmapę 128 × 32 dla tablicy\n"
    "informacyjnej (kolor 0 czarny = punkt świeci), którą przyjmują okno\n"
    "programu i tablica-send.\n";
const char* const kConvertUsageEnd =
    "Podgląd:\n"
    "  --preview PLIK   rysuje tablicę jak wirtualna tablica do pliku PNG\n"
    "  --show           rysuje tablicę w terminalu\n"
    "Kod wyjścia 0: bitmapa zapisana; 1: obraz albo tekst odrzucony (nic nie\n"
    "zapisano); 2: błędne opcje.\n";

}  // namespace

ParsedConvertCommand ParseConvertCommand(const std::vector<std::string>& args) {
  ConvertCommand command;
  std::vector<std::string> files;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") return {std::nullopt, true, {}};
    std::string error;
    switch (picture::TakeConvertOption(args, i, command.options, error)) {
      case picture::OptionTake::Taken:
        continue;
      case picture::OptionTake::Failed:
        return {std::nullopt, false, error};
      case picture::OptionTake::NotMine:
        break;
    }
    if (arg == "--show") {
      command.show = true;
    } else if (arg == "--preview") {
      if (i + 1 >= args.size()) return {std::nullopt, false, "Brak wartości po --preview."};
      command.preview = picture::PathFromUtf8(args[++i]);
    } else if (arg.size() > 1 && arg.starts_with("-")) {
      return {std::nullopt, false, "Nieznana opcja: " + arg + "."};
    } else {
      files.push_back(arg);
    }
  }
  if (files.empty()) return {std::nullopt, false, "Nie podano pliku wyjściowego (WYJŚCIE.bmp)."};
  if (files.size() > 2)
    return {std::nullopt, false, "Podaj najwyżej dwa pliki: WEJŚCIE i WYJŚCIE."};
  command.output = picture::PathFromUtf8(files.back());
  if (files.size() == 2) command.input = picture::PathFromUtf8(files.front());
  const std::string problem =
      picture::CheckConvertOptions(command.options, command.input.has_value());
  if (!problem.empty()) return {std::nullopt, false, problem};
  return {command, false, {}};
}

namespace {

// The input and the files written must be different files: writing over
// the input would destroy the picture, a preview over the bitmap would
// leave a PNG where the bitmap should be.
std::string SamePaths(const ConvertCommand& command) {
  const auto name = [](const std::filesystem::path& path) { return picture::Utf8Name(path); };
  if (command.input && picture::SameFile(*command.input, command.output)) {
    return "Obraz wejściowy i bitmapa wyjściowa to ten sam plik (" + name(command.output) +
           "); nic nie zapisano.";
  }
  if (command.preview && picture::SameFile(*command.preview, command.output)) {
    return "Podgląd i bitmapa wyjściowa to ten sam plik (" + name(command.output) +
           "); nic nie zapisano.";
  }
  if (command.preview && command.input && picture::SameFile(*command.input, *command.preview)) {
    return "Obraz wejściowy i podgląd to ten sam plik (" + name(*command.preview) +
           "); nic nie zapisano.";
  }
  return {};
}

}  // namespace

int RunConvertTool(const ConvertCommand& command, const TextOut& out, const TextOut& error) {
  if (std::string problem = SamePaths(command); !problem.empty()) {
    error(problem);
    return kExitRefused;
  }
  const picture::DotsResult made =
      picture::MakeDots(command.options, command.input.value_or(std::filesystem::path()));
  if (!made.Ok()) {
    error(made.error);
    return kExitRefused;
  }
  // The bitmap and the preview are both written, or neither.
  const std::vector<std::uint8_t> bitmap = picture::EncodeDotsBmp(made.dots);
  std::vector<picture::FileToWrite> files = {
      {command.output, QByteArray(reinterpret_cast<const char*>(bitmap.data()),
                                  static_cast<qsizetype>(bitmap.size()))}};
  if (command.preview) {
    files.push_back({*command.preview, picture::EncodePreviewPng(made.dots)});
    if (files.back().bytes.isEmpty()) {
      error("Nie mogę zapisać pliku " + picture::Utf8Name(*command.preview) + ".");
      return kExitRefused;
    }
  }
  if (std::string problem = picture::WriteFilesWhole(files); !problem.empty()) {
    error(problem);
    return kExitRefused;
  }
  if (command.show) out(DrawDotsText(made.dots));
  return kExitWritten;
}

std::string ConvertUsage() {
  return std::string(kConvertUsageStart) + "\n" + picture::kConvertOptionsUsage + kConvertUsageEnd;
}

}  // namespace tablica::tools
