#include "picture/convert_options.h"

#include <array>
#include <charconv>
#include <utility>

namespace tablica::picture {

namespace {

template <typename T, std::size_t N>
using NameTable = std::array<std::pair<T, std::string_view>, N>;

constexpr NameTable<Placement, 4> kPlacements{{{Placement::Fit, "fit"},
                                               {Placement::Fill, "fill"},
                                               {Placement::Stretch, "stretch"},
                                               {Placement::None, "none"}}};
constexpr NameTable<DotsMethod, 3> kMethods{{{DotsMethod::Threshold, "threshold"},
                                             {DotsMethod::Diffusion, "diffusion"},
                                             {DotsMethod::Ordered, "ordered"}}};
constexpr NameTable<LitSide, 2> kLitSides{{{LitSide::Dark, "dark"}, {LitSide::Bright, "bright"}}};
constexpr NameTable<Alignment, 4> kAlignments{{{Alignment::Left, "left"},
                                               {Alignment::Centre, "centre"},
                                               {Alignment::Right, "right"},
                                               {Alignment::Centre, "center"}}};

template <typename T, std::size_t N>
std::string_view Name(const NameTable<T, N>& table, T value) {
  for (const auto& [v, name] : table) {
    if (v == value) return name;
  }
  return {};
}

template <typename T, std::size_t N>
std::optional<T> Named(const NameTable<T, N>& table, std::string_view name) {
  for (const auto& [v, n] : table) {
    if (n == name) return v;
  }
  return std::nullopt;
}

std::optional<int> WholeNumber(std::string_view text, int low, int high) {
  int number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size() || number < low || number > high) {
    return std::nullopt;
  }
  return number;
}

// "--dots threshold", "threshold=N", "threshold=auto", "diffusion", "ordered".
bool TakeDots(std::string_view value, ConvertOptions& options, std::string& error) {
  const std::size_t equals = value.find('=');
  const std::string_view name = value.substr(0, equals);
  const auto method = DotsMethodNamed(name);
  if (!method) {
    error = "Nieznany sposób --dots: " + std::string(value) +
            " (threshold[=N|auto], diffusion albo ordered).";
    return false;
  }
  options.dots = *method;
  options.level.reset();
  if (equals == std::string_view::npos) return true;
  const std::string_view level = value.substr(equals + 1);
  if (*method != DotsMethod::Threshold) {
    error = "Poziom podaje się tylko dla threshold: " + std::string(value) + ".";
    return false;
  }
  if (level == "auto") return true;
  options.level = WholeNumber(level, 0, 255);
  if (!options.level) {
    error = "Poziom progu musi być liczbą z zakresu 0..255 albo auto: " + std::string(level) + ".";
    return false;
  }
  return true;
}

template <typename T, std::size_t N>
bool TakeNamed(const NameTable<T, N>& table, const std::string& option, std::string_view value,
               T& out, std::string& error, const char* choices) {
  const auto named = Named(table, value);
  if (!named) {
    error = "Nieznana wartość " + option + ": " + std::string(value) + " (" + choices + ").";
    return false;
  }
  out = *named;
  return true;
}

}  // namespace

std::string_view NameOf(Placement placement) {
  return Name(kPlacements, placement);
}
std::string_view NameOf(DotsMethod method) {
  return Name(kMethods, method);
}
std::string_view NameOf(LitSide lit) {
  return Name(kLitSides, lit);
}
std::string_view NameOf(Alignment align) {
  return Name(kAlignments, align);
}
std::optional<Placement> PlacementNamed(std::string_view name) {
  return Named(kPlacements, name);
}
std::optional<DotsMethod> DotsMethodNamed(std::string_view name) {
  return Named(kMethods, name);
}
std::optional<LitSide> LitSideNamed(std::string_view name) {
  return Named(kLitSides, name);
}
std::optional<Alignment> AlignmentNamed(std::string_view name) {
  return Named(kAlignments, name);
}

OptionTake TakeConvertOption(const std::vector<std::string>& args, std::size_t& i,
                             ConvertOptions& options, std::string& error) {
  static constexpr std::array<std::string_view, 7> kOptions{"--place", "--dots", "--lit",  "--text",
                                                            "--font",  "--size", "--align"};
  const std::string& arg = args[i];
  const std::size_t equals = arg.find('=');
  const std::string option = arg.substr(0, equals);
  bool ours = false;
  for (std::string_view known : kOptions) ours = ours || option == known;
  if (!ours) return OptionTake::NotMine;

  std::string value;
  if (equals != std::string::npos) {
    value = arg.substr(equals + 1);
  } else if (i + 1 < args.size()) {
    value = args[++i];
  } else {
    error = "Brak wartości po " + option + ".";
    return OptionTake::Failed;
  }

  bool ok = true;
  if (option == "--place") {
    ok = TakeNamed(kPlacements, option, value, options.placement, error,
                   "fit, fill, stretch albo none");
  } else if (option == "--dots") {
    ok = TakeDots(value, options, error);
  } else if (option == "--lit") {
    ok = TakeNamed(kLitSides, option, value, options.lit, error, "dark albo bright");
  } else if (option == "--align") {
    ok = TakeNamed(kAlignments, option, value, options.align, error, "left, centre albo right");
  } else if (option == "--text") {
    if (options.text.size() >= static_cast<std::size_t>(kMaxTextLines)) {
      error = "Tablica mieści najwyżej dwa wiersze tekstu (--text).";
      ok = false;
    } else {
      options.text.push_back(value);
    }
  } else if (option == "--font") {
    options.font = value;
  } else {  // --size
    options.size = WholeNumber(value, 1, 1024);
    if (!options.size) {
      error = "Rozmiar czcionki musi być liczbą punktów od 1 do 1024: " + value + ".";
      ok = false;
    }
  }
  return ok ? OptionTake::Taken : OptionTake::Failed;
}

std::string CheckConvertOptions(const ConvertOptions& options, bool hasPicture) {
  if (options.HasText() && hasPicture) return "Podaj obraz albo tekst (--text), nie oba naraz.";
  if (!options.HasText() && !hasPicture) return "Nie podano obrazu ani tekstu (--text).";
  if (options.level && options.dots != DotsMethod::Threshold) {
    return "Poziom podaje się tylko dla threshold.";
  }
  if (!options.HasText() && (!options.font.empty() || options.size)) {
    return "Opcje --font i --size dotyczą tekstu (--text).";
  }
  return {};
}

const char* const kConvertOptionsUsage =
    "Obraz (dowolny plik obrazu: BMP, PNG, JPEG, GIF ...):\n"
    "  --place fit|fill|stretch|none\n"
    "                   fit: cały obraz, z zachowaniem proporcji, na środku\n"
    "                   (domyślnie); fill: pokrywa tablicę, nadmiar obcięty po\n"
    "                   równo; stretch: rozciągnięty do 128 × 32; none: 1:1 od\n"
    "                   lewego górnego rogu\n"
    "  --dots threshold[=N|auto]|diffusion|ordered\n"
    "                   próg na poziomie N (0..255) albo dobrany z histogramu\n"
    "                   (auto, domyślnie); rozpraszanie błędu (Floyd–Steinberg);\n"
    "                   dither uporządkowany (macierz Bayera)\n"
    "  --lit dark|bright\n"
    "                   świecą ciemne części obrazu (domyślnie) albo jasne\n"
    "Tekst (zamiast obrazu):\n"
    "  --text \"…\"       wiersz tekstu; drugi --text dodaje drugi wiersz\n"
    "  --font F         nazwa zainstalowanej czcionki albo plik czcionki\n"
    "                   (domyślnie GNU Unifont, 16 punktów i jej wielokrotności)\n"
    "  --size PX        wysokość czcionki w punktach (domyślnie największa,\n"
    "                   która się mieści)\n"
    "  --align left|centre|right\n"
    "                   wyrównanie wierszy (domyślnie centre)\n";

std::filesystem::path PathFromUtf8(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string Utf8Name(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace tablica::picture
