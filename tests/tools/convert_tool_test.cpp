// tablica-convert's command line and its promise about files: the bitmap
// and preview are written only for an input that converts, and a refused
// one leaves an existing output as it was.

#include "tools/convert_tool.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "board/bitmap.h"
#include "picture_gui.h"

namespace tablica::tools {
namespace {

namespace fs = std::filesystem;

TEST(ConvertCommandTest, FilesAndOptions) {
  auto parsed = ParseConvertCommand({"--show", "in.png", "--dots", "diffusion", "out.bmp"});
  ASSERT_TRUE(parsed.command) << parsed.error;
  EXPECT_EQ(parsed.command->input, fs::path("in.png"));
  EXPECT_EQ(parsed.command->output, fs::path("out.bmp"));
  EXPECT_TRUE(parsed.command->show);
  EXPECT_EQ(parsed.command->options.dots, picture::DotsMethod::Diffusion);

  parsed = ParseConvertCommand({"--text", "Zażółć", "--preview", "p.png", "out.bmp"});
  ASSERT_TRUE(parsed.command) << parsed.error;
  EXPECT_FALSE(parsed.command->input);
  EXPECT_EQ(parsed.command->preview, fs::path("p.png"));

  EXPECT_TRUE(ParseConvertCommand({"in.png", "--help"}).help);
  const std::pair<std::vector<std::string>, const char*> bad[] = {
      {{}, "Nie podano pliku wyjściowego (WYJŚCIE.bmp)."},
      {{"out.bmp"}, "Nie podano obrazu ani tekstu (--text)."},
      {{"a.png", "b.png", "out.bmp"}, "Podaj najwyżej dwa pliki: WEJŚCIE i WYJŚCIE."},
      {{"--text", "a", "in.png", "out.bmp"}, "Podaj obraz albo tekst (--text), nie oba naraz."},
      {{"--preview"}, "Brak wartości po --preview."},
      {{"--port", "3", "in.png", "out.bmp"}, "Nieznana opcja: --port."},
  };
  for (const auto& [args, message] : bad) EXPECT_EQ(ParseConvertCommand(args).error, message);
}

class ConvertToolTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::EnsurePictureGui(); }
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("convert-tool-" + std::to_string(::getpid()));
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  int Run(const std::vector<std::string>& args) {
    const auto parsed = ParseConvertCommand(args);
    EXPECT_TRUE(parsed.command) << parsed.error;
    out_.clear();
    errors_.clear();
    return RunConvertTool(
        *parsed.command, [this](const std::string& text) { out_ += text; },
        [this](const std::string& text) { errors_ += text; });
  }
  std::string Path(const char* name) { return (folder_ / name).string(); }
  static std::string Contents(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
  }

  fs::path folder_;
  std::string out_;
  std::string errors_;
};

TEST_F(ConvertToolTest, WritesTheBitmapAndPreviewOnlyForInputThatConverts) {
  EXPECT_EQ(Run({"--text", "OK", "--preview", Path("p.png"), "--show", Path("out.bmp")}),
            kExitWritten);
  EXPECT_EQ(errors_, "");
  const BitmapLoadResult written = LoadBitmapFile(Path("out.bmp"));
  ASSERT_TRUE(written.Ok()) << written.error;
  EXPECT_EQ(written.bitmap.BitsPerPixel(), 1);
  EXPECT_TRUE(QImage(QString::fromStdString(Path("p.png"))).size().isValid());
  EXPECT_NE(out_.find("\u2588"), std::string::npos);  // the drawing has lit dots

  // Refused: too long a text, a damaged picture, a missing one. The old
  // output and preview stay byte for byte.
  const std::string before = Contents(Path("out.bmp"));
  const std::string preview = Contents(Path("p.png"));
  std::ofstream(Path("cut.png"), std::ios::binary) << std::string("\x89PNG\r\n\x1a\n\0\0", 10);
  const std::vector<std::vector<std::string>> refused = {
      {"--text", "Zażółć gęślą jaźń", "--preview", Path("p.png"), Path("out.bmp")},
      {"--preview", Path("p.png"), Path("cut.png"), Path("out.bmp")},
      {Path("missing.png"), Path("out.bmp")},
  };
  for (const auto& args : refused) {
    EXPECT_EQ(Run(args), kExitRefused);
    EXPECT_NE(errors_, "");
    EXPECT_EQ(Contents(Path("out.bmp")), before);
    EXPECT_EQ(Contents(Path("p.png")), preview);
  }
  EXPECT_EQ(Run({"--text", "Zażółć gęślą jaźń", Path("new.bmp")}), kExitRefused);
  EXPECT_FALSE(fs::exists(Path("new.bmp")));
  // An output that cannot be written is a failure too.
  EXPECT_EQ(Run({"--text", "OK", Path("no-such-folder/out.bmp")}), kExitRefused);
  EXPECT_NE(errors_.find("Nie mogę zapisać pliku"), std::string::npos);
}

TEST_F(ConvertToolTest, RefusesPathsWhereWritingWouldDestroyAFile) {
  ASSERT_EQ(Run({"--text", "OK", Path("in.bmp")}), kExitWritten);
  ASSERT_EQ(Run({"--text", "Stare", Path("out.bmp")}), kExitWritten);
  fs::create_directory(Path("folder"));
  const std::string input = Contents(Path("in.bmp"));
  const std::string output = Contents(Path("out.bmp"));
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
      {{Path("in.bmp"), (folder_ / "folder" / ".." / "in.bmp").string()},
       "Obraz wejściowy i bitmapa wyjściowa to ten sam plik (" +
           (folder_ / "folder" / ".." / "in.bmp").string() + "); nic nie zapisano."},
      {{"--text", "Nowe", "--preview", Path("out.bmp"), Path("out.bmp")},
       "Podgląd i bitmapa wyjściowa to ten sam plik (" + Path("out.bmp") + "); nic nie zapisano."},
      {{"--preview", Path("in.bmp"), Path("in.bmp"), Path("out.bmp")},
       "Obraz wejściowy i podgląd to ten sam plik (" + Path("in.bmp") + "); nic nie zapisano."},
      {{"--text", "Nowe", Path("folder")},
       "Nie zapisuję do " + Path("folder") + ": to nie jest zwykły plik."},
      // The preview cannot be made: the bitmap is not written either.
      {{"--text", "Nowe", "--preview", Path("no-such-folder/p.png"), Path("out.bmp")},
       "Nie mogę zapisać pliku " + Path("no-such-folder/p.png") + "."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.args), kExitRefused) << c.message;
    EXPECT_EQ(errors_, c.message);
    EXPECT_EQ(Contents(Path("in.bmp")), input) << c.message;
    EXPECT_EQ(Contents(Path("out.bmp")), output) << c.message;
    EXPECT_TRUE(fs::is_directory(Path("folder")));
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 3);
}

}  // namespace
}  // namespace tablica::tools
