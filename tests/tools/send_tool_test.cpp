// tablica-send against the scripted serial platform: the bytes on the wire,
// the messages, and the exit code, for the ways a user runs it.

#include "tools/send_tool.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fake_serial_platform.h"
#include "test_kit.h"

namespace tablica::tools {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// A picture with something to see in every byte, no two rows alike: the
// colour-table index of pixel (x, y).
auto Pattern(int seed) {
  return [seed](int x, int y) { return (x * 3 + y * 7 + seed) % 5 < 2 ? 0 : 1; };
}

// A bottom-up 1-bit .bmp with a black/white colour table.
void WriteBmp(const fs::path& path, int seed) {
  testing::WriteBmp(path, testing::OneBitLayout(128, 32, Pattern(seed)));
}

// The 512 dot bytes the board should get: a dot is lit (bit set) where the
// pixel has colour index 0.
Bytes DotsOf(int seed) {
  return testing::DotBytesWhere([&](int x, int y) { return Pattern(seed)(x, y) == 0; });
}

Bytes Frame(const Bytes& dots, bool can) {
  return testing::FrameBytes(dots, can ? testing::kHeaderWithBlock : testing::kHeaderAlone);
}

class SendToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("send-tool-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder_);
    WriteBmp(folder_ / "first.bmp", 1);
    WriteBmp(folder_ / "second.bmp", 2);
  }
  void TearDown() override { fs::remove_all(folder_); }

  void WriteSettings(const std::string& text) { std::ofstream(folder_ / "ustaw.txt") << text; }

  int Run(std::vector<std::string> args, const PictureConverter& convert = {}) {
    for (auto& a : args) {
      if (a.ends_with(".bmp")) a = (folder_ / a).string();
    }
    const auto parsed = ParseSendOptions(args);
    EXPECT_TRUE(parsed.options) << parsed.error;
    if (!parsed.options) return -1;
    return RunSendTool(
        *parsed.options, platform_, [this](const std::string& text) { messages_.push_back(text); },
        folder_ / "ustaw.txt", convert);
  }

  fs::path folder_;
  testing::FakeSerialPlatform platform_;
  std::vector<std::string> messages_;
};

TEST_F(SendToolTest, SendsOneFrameToThePortNamedInTheSettingsFile) {
  WriteSettings("COM 7 model x");
  EXPECT_EQ(Run({"first.bmp"}), kExitSent);
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(platform_.CountCalls("open COM7"), 1);
  EXPECT_EQ(platform_.wire, Frame(DotsOf(1), false));
}

TEST_F(SendToolTest, PortOptionWinsOverTheSettingsFile) {
  WriteSettings("COM 7");
  EXPECT_EQ(Run({"--port", "12", "first.bmp"}), kExitSent);
  EXPECT_EQ(platform_.CountCalls("open COM7"), 0);
  EXPECT_EQ(platform_.CountCalls("open \\\\.\\COM12"), 1);
}

TEST_F(SendToolTest, CanAloneRepeatsTheFirstPictureForTheSecondBoard) {
  EXPECT_EQ(Run({"--port", "3", "--can", "first.bmp"}), kExitSent);
  const Bytes dots = DotsOf(1);
  EXPECT_EQ(platform_.wire, testing::Joined({Frame(dots, true), testing::BlockBytes(dots)}));
}

TEST_F(SendToolTest, SecondPictureGoesToTheSecondBoardAndImpliesCan) {
  EXPECT_EQ(Run({"--second", "second.bmp", "--port", "3", "first.bmp"}), kExitSent);
  EXPECT_EQ(platform_.wire,
            testing::Joined({Frame(DotsOf(1), true), testing::BlockBytes(DotsOf(2))}));
  ASSERT_EQ(platform_.writeRequests.size(), 2u);
  EXPECT_EQ(platform_.writeRequests[0].size(), 517u);
  EXPECT_EQ(platform_.writeRequests[1].size(), 513u);
}

TEST_F(SendToolTest, APictureThatCannotBeReadSendsNothingAndNamesTheFullPath) {
  EXPECT_EQ(Run({"--port", "3", "--second", "missing.bmp", "first.bmp"}), kExitFailed);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], "Nie mogę otworzyc pliku" + (folder_ / "missing.bmp").string() + ".");
  EXPECT_TRUE(platform_.calls.empty());

  std::ofstream(folder_ / "broken.bmp") << "BM not really";
  messages_.clear();
  EXPECT_EQ(Run({"--port", "3", "broken.bmp"}), kExitFailed);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_NE(messages_[0].find("broken.bmp."), std::string::npos);
  EXPECT_TRUE(platform_.wire.empty());
}

TEST_F(SendToolTest, NoPortAnywhereIsTheWindowsNoPortMessage) {
  EXPECT_EQ(Run({"first.bmp"}), kExitFailed);
  EXPECT_EQ(messages_, std::vector<std::string>{"Nie wybrano portu komunikacyjnego."});
  EXPECT_TRUE(platform_.calls.empty());
}

TEST_F(SendToolTest, APortThatWillNotOpenFailsWithTheLinksMessages) {
  platform_.failingOpens.insert("COM4");
  EXPECT_EQ(Run({"--port", "4", "first.bmp"}), kExitFailed);
  ASSERT_FALSE(messages_.empty());
  EXPECT_EQ(messages_.front(), "Nie mogę otworzyć portu COM4.");
  EXPECT_TRUE(platform_.wire.empty());
}

TEST_F(SendToolTest, AFailedWriteIsAFailedRun) {
  platform_.QueuePartialWrite(100);
  platform_.lineScript.push_back(LineState{});  // the check made when the port opens
  platform_.lineScript.push_back(LineState{.queried = true, .errorMask = 1});
  EXPECT_EQ(Run({"--port", "4", "first.bmp"}), kExitFailed);
  EXPECT_EQ(messages_, std::vector<std::string>{"Wystąpił błąd transmisji."});
}

TEST_F(SendToolTest, ConvertSendsWhatTheConverterMadeTextForTheFirstBoardOnly) {
  // The converter is the picture library's in the program; here it hands
  // out known pictures and notes what it was asked.
  std::vector<std::pair<picture::ConvertOptions, fs::path>> asked;
  const auto fromFile = LoadBitmapFile(folder_ / "first.bmp").bitmap;
  const auto fromText = LoadBitmapFile(folder_ / "second.bmp").bitmap;
  const PictureConverter convert = [&](const picture::ConvertOptions& options,
                                       const fs::path& path) {
    asked.emplace_back(options, path);
    return ConvertedPicture{options.HasText() ? fromText : fromFile, {}};
  };
  EXPECT_EQ(
      Run({"--convert", "--port", "3", "--text", "Dzień dobry", "--second", "photo.jpg"}, convert),
      kExitSent);
  EXPECT_EQ(platform_.wire,
            testing::Joined({Frame(DotsOf(2), true), testing::BlockBytes(DotsOf(1))}));
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].first.text, std::vector<std::string>{"Dzień dobry"});
  EXPECT_EQ(asked[1].first.text, std::vector<std::string>{});
  EXPECT_EQ(asked[1].second, fs::path("photo.jpg"));

  // A refused picture: its message, nothing on the wire.
  platform_.wire.clear();
  messages_.clear();
  const PictureConverter refuse = [](const picture::ConvertOptions&, const fs::path&) {
    return ConvertedPicture{{}, "Obraz x jest uszkodzony albo niepełny."};
  };
  EXPECT_EQ(Run({"--convert", "--port", "3", "x.png"}, refuse), kExitFailed);
  EXPECT_EQ(messages_, std::vector<std::string>{"Obraz x jest uszkodzony albo niepełny."});
  EXPECT_TRUE(platform_.wire.empty());
}

TEST(SendOptionsTest, ConvertTakesThePictureOptionsAndNothingElseDoes) {
  auto parsed = ParseSendOptions({"--dots", "ordered", "--convert", "--place=fill", "x.png"});
  ASSERT_TRUE(parsed.options) << parsed.error;
  ASSERT_TRUE(parsed.options->convert);
  EXPECT_EQ(parsed.options->convert->dots, picture::DotsMethod::Ordered);
  EXPECT_EQ(parsed.options->convert->placement, picture::Placement::Fill);
  EXPECT_EQ(parsed.options->first, fs::path("x.png"));
  EXPECT_FALSE(ParseSendOptions({"a.bmp"}).options->convert);

  const std::pair<std::vector<std::string>, const char*> bad[] = {
      {{"--text", "a"}, "Opcja --text działa tylko z --convert."},
      {{"--lit=bright", "a.bmp"}, "Opcja --lit działa tylko z --convert."},
      {{"--convert"}, "Nie podano obrazu ani tekstu (--text)."},
      {{"--convert", "--text", "a", "x.png"}, "Podaj obraz albo tekst (--text), nie oba naraz."},
      {{"--convert", "--place", "middle", "x.png"},
       "Nieznana wartość --place: middle (fit, fill, stretch albo none)."},
  };
  for (const auto& [args, message] : bad) EXPECT_EQ(ParseSendOptions(args).error, message);
}

TEST(SendOptionsTest, ReadsTheCommandLineTheWayItIsDocumented) {
  auto parsed = ParseSendOptions({"a.bmp"});
  ASSERT_TRUE(parsed.options);
  EXPECT_EQ(parsed.options->first, "a.bmp");
  EXPECT_FALSE(parsed.options->port);
  EXPECT_FALSE(parsed.options->secondBoard);

  parsed = ParseSendOptions({"--second", "b.bmp", "a.bmp"});
  ASSERT_TRUE(parsed.options);
  EXPECT_TRUE(parsed.options->secondBoard);
  EXPECT_EQ(parsed.options->second, fs::path("b.bmp"));

  EXPECT_TRUE(ParseSendOptions({"--help"}).help);
  for (const auto& bad : std::vector<std::vector<std::string>>{{},
                                                               {"--port", "7"},
                                                               {"--port", "0", "a.bmp"},
                                                               {"--port", "255", "a.bmp"},
                                                               {"--port", "x", "a.bmp"},
                                                               {"a.bmp", "b.bmp"},
                                                               {"--second"},
                                                               {"--fast", "a.bmp"}}) {
    const auto result = ParseSendOptions(bad);
    EXPECT_FALSE(result.options);
    EXPECT_FALSE(result.error.empty());
  }
}

}  // namespace
}  // namespace tablica::tools
