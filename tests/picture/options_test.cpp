// The conversion options as both programs parse them: values, their
// spellings, and the Polish reasons for wrong ones.

#include <gtest/gtest.h>

#include "picture/convert_options.h"

namespace tablica::picture {
namespace {

struct Parsed {
  ConvertOptions options;
  std::string error;
  std::vector<std::string> left;  // words that were not ours
};

Parsed Parse(const std::vector<std::string>& args) {
  Parsed parsed;
  for (std::size_t i = 0; i < args.size(); ++i) {
    switch (TakeConvertOption(args, i, parsed.options, parsed.error)) {
      case OptionTake::Taken:
        break;
      case OptionTake::NotMine:
        parsed.left.push_back(args[i]);
        break;
      case OptionTake::Failed:
        return parsed;
    }
  }
  return parsed;
}

TEST(ConvertOptionsTest, ValuesInEitherSpelling) {
  struct Case {
    std::vector<std::string> args;
    ConvertOptions expected;
  };
  const auto with = [](auto change) {
    ConvertOptions options;
    change(options);
    return options;
  };
  const Case cases[] = {
      {{}, ConvertOptions()},
      {{"--place", "fill"}, with([](auto& o) { o.placement = Placement::Fill; })},
      {{"--place=none"}, with([](auto& o) { o.placement = Placement::None; })},
      {{"--dots", "threshold=77"}, with([](auto& o) { o.level = 77; })},
      {{"--dots=threshold=0"}, with([](auto& o) { o.level = 0; })},
      {{"--dots", "threshold=9", "--dots", "threshold=auto"}, ConvertOptions()},
      {{"--dots", "ordered"}, with([](auto& o) { o.dots = DotsMethod::Ordered; })},
      {{"--dots", "diffusion", "--lit", "bright"}, with([](auto& o) {
         o.dots = DotsMethod::Diffusion;
         o.lit = LitSide::Bright;
       })},
      {{"--text", "Zażółć", "--text=", "--align", "center", "--font", "DejaVu Sans", "--size",
        "12"},
       with([](auto& o) {
         o.text = {"Zażółć", ""};
         o.align = Alignment::Centre;
         o.font = "DejaVu Sans";
         o.size = 12;
       })},
      {{"--align", "right"}, with([](auto& o) { o.align = Alignment::Right; })},
  };
  for (const Case& c : cases) {
    const Parsed parsed = Parse(c.args);
    EXPECT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options, c.expected) << ::testing::PrintToString(c.args);
  }
  // Other words stay for the program, "--text" takes a word that looks like an option.
  const Parsed mixed = Parse({"--port", "7", "--text", "--can", "in.png"});
  EXPECT_EQ(mixed.left, (std::vector<std::string>{"--port", "7", "in.png"}));
  EXPECT_EQ(mixed.options.text, (std::vector<std::string>{"--can"}));
}

TEST(ConvertOptionsTest, WrongValuesAreRefusedWithAReason) {
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"--place"}, "Brak wartości po --place."},
      {{"--place", "middle"}, "Nieznana wartość --place: middle (fit, fill, stretch albo none)."},
      {{"--dots", "threshold=256"},
       "Poziom progu musi być liczbą z zakresu 0..255 albo auto: 256."},
      {{"--dots", "threshold=-1"}, "Poziom progu musi być liczbą z zakresu 0..255 albo auto: -1."},
      {{"--dots", "ordered=3"}, "Poziom podaje się tylko dla threshold: ordered=3."},
      {{"--dots", "dither"},
       "Nieznany sposób --dots: dither (threshold[=N|auto], diffusion albo ordered)."},
      {{"--lit", "on"}, "Nieznana wartość --lit: on (dark albo bright)."},
      {{"--text", "a", "--text", "b", "--text", "c"},
       "Tablica mieści najwyżej dwa wiersze tekstu (--text)."},
      {{"--size", "0"}, "Rozmiar czcionki musi być liczbą punktów od 1 do 1024: 0."},
      {{"--size", "12px"}, "Rozmiar czcionki musi być liczbą punktów od 1 do 1024: 12px."},
  };
  for (const auto& [args, message] : cases) {
    EXPECT_EQ(Parse(args).error, message) << ::testing::PrintToString(args);
  }
}

TEST(ConvertOptionsTest, TextAndPictureAreOneOrTheOther) {
  ConvertOptions text;
  text.text = {"a"};
  ConvertOptions font;
  font.font = "Unifont";
  EXPECT_EQ(CheckConvertOptions(text, false), "");
  EXPECT_EQ(CheckConvertOptions(ConvertOptions(), true), "");
  EXPECT_EQ(CheckConvertOptions(text, true), "Podaj obraz albo tekst (--text), nie oba naraz.");
  EXPECT_EQ(CheckConvertOptions(ConvertOptions(), false), "Nie podano obrazu ani tekstu (--text).");
  EXPECT_EQ(CheckConvertOptions(font, true), "Opcje --font i --size dotyczą tekstu (--text).");
}

}  // namespace
}  // namespace tablica::picture
