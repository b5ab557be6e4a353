// The virtual board as a program, at a real line's pace, written to by a
// board session through the system's serial backend: every frame and block
// arrives byte for byte, and its JSON line says when it was complete, on the
// same monotonic clock as the writer's, so the pace of a show can be measured.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "../soak/emulator_process.h"
#include "pty_peer.h"
#include "session/board_session.h"
#include "temp_folder.h"
#include "test_kit.h"

namespace tablica {
namespace {

using Clock = std::chrono::steady_clock;
using testing_support::EmulatorProcess;
using testing_support::Hex;
using testing_support::ScopedConfigHome;
using testing_support::TempFolder;

constexpr int kPort = 6;

// The "t" of a JSON line as a moment of the steady clock.
Clock::time_point MomentOf(const std::string& line) {
  const auto at = line.find("\"t\":");
  EXPECT_NE(at, std::string::npos) << line;
  if (at == std::string::npos) return {};
  const double seconds = std::strtod(line.c_str() + at + 4, nullptr);
  return Clock::time_point(
      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds)));
}

BoardDots Stripes(int every) {
  BoardDots dots;
  for (int y = 0; y < kBoardHeight; ++y) {
    for (int x = y % every; x < kBoardWidth; x += every) dots.SetLit(x, y);
  }
  return dots;
}

TEST(BoardMoments, FramesAndBlocksArriveWholeAndSayWhenTheLineCompletedThem) {
  TempFolder home;
  ScopedConfigHome configHome(home.path());
  EmulatorProcess board(TABLICA_EMULATOR, kPort, 38400);
  ASSERT_TRUE(board.WaitReady());
  std::unique_ptr<BoardSession> session = BoardSession::Native();
  ASSERT_EQ(session->OpenFromSettings(home.path() / "no-ustaw.txt", kPort), kPort);

  const BoardDots first = Stripes(3);
  const BoardDots second = Stripes(5);
  const auto before = Clock::now();
  ASSERT_TRUE(session->Send(first).Ok());
  ASSERT_TRUE(session->Send(first, &second).Ok());
  EXPECT_TRUE(session->DrainLine(std::chrono::seconds(2)));

  std::vector<std::uint8_t> wire = testing::ExpectedWire(first);
  const std::vector<std::uint8_t> both = testing::ExpectedWire(first, &second);
  wire.insert(wire.end(), both.begin(), both.end());
  const struct {
    const char* event;
    std::size_t from, size;
  } expected[] = {{"frame", 0, 517}, {"frame", 517, 517}, {"block", 1034, 513}};
  std::vector<Clock::time_point> moments;
  for (const auto& unit : expected) {
    const auto line = board.NextLine();
    ASSERT_TRUE(line);
    EXPECT_NE(line->find(std::string("\"event\":\"") + unit.event + "\""), std::string::npos)
        << *line;
    EXPECT_NE(line->find("\"bytes\":\"" + Hex(wire, unit.from, unit.size) + "\""),
              std::string::npos)
        << unit.event << " at " << unit.from;
    EXPECT_NE(line->find("\"checksum_ok\":true"), std::string::npos) << *line;
    moments.push_back(MomentOf(*line));
  }
  const auto after = Clock::now();

  // Each unit is complete no sooner than the line can carry it (less one
  // read of 19 bytes); a busy machine only makes the gaps longer.
  const auto lineTime = [&](std::size_t bytes) { return session->WireTime(bytes - 19); };
  EXPECT_GE(moments[0], before + lineTime(517));
  EXPECT_GE(moments[1] - moments[0], lineTime(517));
  EXPECT_GE(moments[2] - moments[1], lineTime(513));
  EXPECT_LE(moments[2], after);
  EXPECT_EQ(board.Stop(), std::vector<std::string>{}) << "nothing else arrived";
}

}  // namespace
}  // namespace tablica
