#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "emulator/board_picture.h"
#include "emulator/emulator_options.h"
#include "emulator/event_output.h"
#include "test_kit.h"

namespace emulator {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(BoardPictureTest, DotsFollowRowsOfSixteenBytesMostSignificantBitLeft) {
  Bytes dots(kDotBytes, 0);
  dots[0] = 0x80;    // (0, 0)
  dots[1] = 0x01;    // (15, 0)
  dots[16] = 0x40;   // (1, 1)
  dots[511] = 0x01;  // (127, 31)
  const BoardDots board = DotsFromBytes(dots);
  EXPECT_TRUE(board.IsLit(0, 0));
  EXPECT_FALSE(board.IsLit(1, 0));
  EXPECT_TRUE(board.IsLit(15, 0));
  EXPECT_TRUE(board.IsLit(1, 1));
  EXPECT_TRUE(board.IsLit(127, 31));
  EXPECT_EQ(board.LitCount(), 4);
  // Outside the board nothing is lit and nothing is read.
  EXPECT_FALSE(board.IsLit(128, 0));
  EXPECT_FALSE(board.IsLit(-1, 0));
  EXPECT_FALSE(board.IsLit(0, 32));
}

TEST(BoardPictureTest, ShortDotDataLeavesTheRestDark) {
  const BoardDots board = DotsFromBytes(Bytes(3, 0xFF));
  EXPECT_EQ(board.LitCount(), 24);
  EXPECT_FALSE(board.IsLit(0, 1));
}

TEST(BoardsStateTest, FramesAndBlocksUpdateTheirOwnBoardGarbageOnlyTheStatus) {
  BoardsState state;
  const Bytes frame = tablica::testing::FrameBytes(Bytes(kDotBytes, 0xFF), 2);
  Bytes block(kBlockBytes, 0x00);
  block[0] = 0x80;
  const auto when = std::chrono::system_clock::now();

  state.Apply(Unit{UnitKind::Frame, frame, false}, when);
  EXPECT_EQ(state.Board(1).LitCount(), 4096);
  EXPECT_EQ(state.Board(2).LitCount(), 0);
  EXPECT_FALSE(state.Last()->checksumOk);

  state.Apply(Unit{UnitKind::Block, block, true}, when);
  EXPECT_EQ(state.Board(2).LitCount(), 1);
  EXPECT_EQ(state.Last()->board, 2);

  state.Apply(Unit{UnitKind::Garbage, Bytes{1, 2, 3}, false}, when);
  EXPECT_EQ(state.Board(1).LitCount(), 4096);
  EXPECT_EQ(state.Last()->byteCount, 3u);
  EXPECT_NE(DescribeArrival(*state.Last()).find("Bajty spoza ramki: 3"), std::string::npos);
}

TEST(BoardsStateTest, StatusLineSaysWhatCameAndWhetherItsChecksumHeld) {
  const auto when = std::chrono::system_clock::now();
  const std::string good = DescribeArrival({UnitKind::Frame, 1, true, kFrameBytes, when});
  const std::string bad = DescribeArrival({UnitKind::Block, 2, false, kBlockBytes, when});
  EXPECT_NE(good.find("ramka"), std::string::npos);
  EXPECT_NE(good.find("poprawna"), std::string::npos);
  EXPECT_NE(bad.find("blok"), std::string::npos);
  EXPECT_NE(bad.find("BŁĘDNA"), std::string::npos);
}

TEST(EventOutputTest, JsonLinesCarryEveryByteInLowerCaseHex) {
  EXPECT_EQ(ReadyJson(7, "/dev/pts/3"), R"({"event":"ready","port":7,"device":"/dev/pts/3"})");
  EXPECT_EQ(ReadyJson(0, "/dev/pts/3"), R"({"event":"ready","device":"/dev/pts/3"})");
  EXPECT_EQ(UnitJson(Unit{UnitKind::Garbage, Bytes{0x00, 0xAB, 0x0F}, false}),
            R"({"event":"garbage","bytes":"00ab0f"})");
  EXPECT_EQ(UnitJson(Unit{UnitKind::Frame, Bytes{0xAA, 0x01}, true}),
            R"({"event":"frame","board":1,"bytes":"aa01","checksum_ok":true})");
  EXPECT_EQ(UnitJson(Unit{UnitKind::Block, Bytes{0xFF}, false}),
            R"({"event":"block","board":2,"bytes":"ff","checksum_ok":false})");
}

TEST(EventOutputTest, UnitLinesEndWithTheirMomentInSecondsToTheMicrosecond) {
  using Moment = std::chrono::steady_clock::time_point;
  using std::chrono::microseconds;
  const struct {
    Moment moment;
    const char* seconds;
  } rows[] = {
      {Moment(microseconds(0)), "0.000000"},
      {Moment(microseconds(1)), "0.000001"},
      {Moment(microseconds(12345678901)), "12345.678901"},
      {Moment(std::chrono::nanoseconds(2999999999)), "2.999999"},  // cut, never rounded up
      {Moment(std::chrono::hours(24 * 400) + microseconds(5)), "34560000.000005"},
  };
  for (const auto& row : rows) EXPECT_EQ(MonotonicSeconds(row.moment), row.seconds);

  const Moment moment(microseconds(12345678901));
  EXPECT_EQ(UnitJson(Unit{UnitKind::Frame, Bytes{0xAA, 0x01}, true}, moment),
            R"({"event":"frame","board":1,"bytes":"aa01","checksum_ok":true,"t":12345.678901})");
  EXPECT_EQ(UnitJson(Unit{UnitKind::Block, Bytes{0xFF}, false}, moment),
            R"({"event":"block","board":2,"bytes":"ff","checksum_ok":false,"t":12345.678901})");
  EXPECT_EQ(UnitJson(Unit{UnitKind::Garbage, Bytes{0x00}, false}, moment),
            R"({"event":"garbage","bytes":"00","t":12345.678901})");
}

TEST(EventOutputTest, JsonStringsEscapeQuotesBackslashesAndControls) {
  EXPECT_EQ(JsonString("a\"b\\c\n\x01"), R"("a\"b\\c\n\u0001")");
  EXPECT_EQ(JsonString("zażółć"), "\"zażółć\"");
}

TEST(EventOutputTest, TerminalDrawingPairsRowsIntoHalfBlocks) {
  Bytes dots(kDotBytes, 0);
  dots[0] = 0x80;   // (0,0): upper half of line 0
  dots[16] = 0xC0;  // (0,1), (1,1): lower halves
  const std::string drawing = DrawBoard(DotsFromBytes(dots));
  const auto firstLine = drawing.find('\n') + 1;
  EXPECT_EQ(drawing.compare(firstLine, 1 + 3 + 3, "|\u2588\u2584"), 0);
  std::size_t lines = 0;
  for (char c : drawing) lines += c == '\n';
  EXPECT_EQ(lines, 18u);  // frame line, 16 lines of dots, frame line
}

TEST(EmulatorOptionsTest, ReadsEveryOptionAndRefusesBadValues) {
  const auto ok = ParseEmulatorOptions({"--port", "7", "--headless", "--json", "--baud", "38400"});
  ASSERT_TRUE(ok.options);
  EXPECT_EQ(ok.options->port, 7);
  EXPECT_TRUE(ok.options->headless);
  EXPECT_TRUE(ok.options->json);
  EXPECT_EQ(ok.options->baud, 38400u);

  EXPECT_FALSE(ParseEmulatorOptions({"--port"}).options);
  EXPECT_FALSE(ParseEmulatorOptions({"--port", "0"}).options);
  EXPECT_FALSE(ParseEmulatorOptions({"--port", "7x"}).options);
  EXPECT_FALSE(ParseEmulatorOptions({"--baud", "-5"}).options);
  const auto unknown = ParseEmulatorOptions({"--fast"});
  EXPECT_FALSE(unknown.options);
  EXPECT_NE(unknown.error.find("--fast"), std::string::npos);
}

}  // namespace
}  // namespace emulator
