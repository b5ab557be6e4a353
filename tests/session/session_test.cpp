#include <gtest/gtest.h>

#include <future>
#include <string>
#include <thread>
#include <vector>

#include "fake_serial_platform.h"
#include "session/board_session.h"
#include "session/session_worker.h"
#include "temp_folder.h"
#include "test_kit.h"

namespace tablica {
namespace {

BoardDots Diagonal(int shift) {
  BoardDots dots;
  for (int x = 0; x < kBoardWidth; ++x) dots.SetLit(x, (x + shift) % kBoardHeight);
  return dots;
}

TEST(BoardSession, SendsDotsAndTheSecondBoardsBlockAsTheWireRuleSays) {
  testing::FakeSerialPlatform platform;
  std::vector<std::string> shown;
  BoardSession session(platform, [&](const std::string& text) { shown.push_back(text); });
  ASSERT_EQ(session.OpenFromSettings("no-such-ustaw.txt", 7), 7);

  const BoardDots first = Diagonal(0);
  const BoardDots second = Diagonal(5);
  EXPECT_TRUE(session.Send(first).Ok());
  EXPECT_TRUE(session.Send(first, &second).Ok());

  std::vector<std::uint8_t> expected = testing::ExpectedWire(first);
  const std::vector<std::uint8_t> both = testing::ExpectedWire(first, &second);
  expected.insert(expected.end(), both.begin(), both.end());
  EXPECT_EQ(platform.wire, expected);
  EXPECT_TRUE(shown.empty());
}

TEST(BoardSession, ReportsCarryTheMessagesAlsoShownAtOnce) {
  testing::FakeSerialPlatform platform;
  std::vector<std::string> shown;
  BoardSession session(platform, [&](const std::string& text) { shown.push_back(text); });
  platform.failingOpens.insert("COM3");
  EXPECT_EQ(session.OpenFromSettings("no-such-ustaw.txt", 3), kNoPort);
  const SendReport report = session.Send(BoardDots());
  EXPECT_EQ(report.result, SendResult::NoPort);
  EXPECT_EQ(report.Text(), "Nie wybrano portu komunikacyjnego.");
  EXPECT_EQ(shown, (std::vector<std::string>{"Nie mogę otworzyć portu COM3.",
                                             "Nie wybrano portu komunikacyjnego."}));
  EXPECT_TRUE(platform.wire.empty());

  // A port asked for by number above 127 is named as asked, not signed.
  shown.clear();
  platform.failingOpens.insert("\\\\.\\COM201");
  EXPECT_EQ(session.OpenFromSettings("no-such-ustaw.txt", 201), kNoPort);
  EXPECT_EQ(shown, (std::vector<std::string>{"Nie mogę otworzyć portu COM201."}));
}

TEST(BoardSession, APickThatFailsGoesBackToThePreviousPort) {
  struct Case {
    std::uint8_t before;
    std::uint8_t picked;
    bool pickedOpens;
    PortPick expected;
  };
  const Case cases[] = {
      {kNoPort, 5, true, {5, 5, false}},
      {3, 5, true, {5, 5, false}},
      {kNoPort, 5, false, {kNoPort, kNoPort, true}},
      {3, 5, false, {3, 3, true}},
      {3, kNoPort, true, {kNoPort, kNoPort, false}},
  };
  for (const Case& c : cases) {
    testing::FakeSerialPlatform platform;
    BoardSession session(platform);
    if (c.before != kNoPort) session.OpenFromSettings("no-such-ustaw.txt", c.before);
    if (!c.pickedOpens) platform.failingOpens.insert("COM5");
    const PortPick pick = session.PickPort(c.picked);
    EXPECT_EQ(pick.port, c.expected.port) << int(c.before) << " -> " << int(c.picked);
    EXPECT_EQ(pick.listPort, c.expected.listPort);
    EXPECT_EQ(pick.fellBack, c.expected.fellBack);
    EXPECT_EQ(session.PortNumber(), c.expected.port);
    EXPECT_EQ(platform.openPorts, c.expected.port == kNoPort ? 0 : 1);
  }
}

// The watch of a port whose adapter is pulled out while idle and put back:
// closed at once, looked for at every call while absent, opened again at
// the first call that finds it; a device that is there but refuses to open
// is tried after 1, 2, 4 s. Said once when gone and once when back.
TEST(BoardSession, TheWatchClosesAGonePortAndOpensItAgainWhenItIsBack) {
  using std::chrono::milliseconds;
  testing::FakeSerialPlatform platform;
  std::vector<std::string> shown;
  BoardSession session(platform, [&](const std::string& text) { shown.push_back(text); });
  ASSERT_EQ(session.OpenFromSettings("no-such-ustaw.txt", 5), 5);
  enum Device { Here, HungUp, Absent, Refuses };
  struct Step {
    Device device;
    int after;  // ms since the step before
    PortWatch expected;
    int opens;  // opens of COM5 so far
  };
  const Step steps[] = {
      {Here, 0, PortWatch::Open, 1},      {HungUp, 0, PortWatch::Away, 1},
      {Absent, 200, PortWatch::Away, 1},  {Absent, 200, PortWatch::Away, 1},
      {Refuses, 200, PortWatch::Away, 2}, {Refuses, 600, PortWatch::Away, 2},
      {Refuses, 400, PortWatch::Away, 3}, {Refuses, 1800, PortWatch::Away, 3},
      {Refuses, 200, PortWatch::Away, 4}, {Absent, 200, PortWatch::Away, 4},
      {Here, 200, PortWatch::Back, 5},    {Here, 200, PortWatch::Open, 5},
  };
  int index = 0;
  for (const Step& step : steps) {
    platform.hungUpDevices.clear();
    platform.absentDevices.clear();
    platform.failingOpens.clear();
    if (step.device == HungUp) platform.hungUpDevices.insert("COM5");
    if (step.device == HungUp || step.device == Absent) platform.absentDevices.insert("COM5");
    if (step.device == Refuses) platform.failingOpens.insert("COM5");
    platform.clock += milliseconds(step.after);
    EXPECT_EQ(session.WatchPort(), step.expected) << "step " << index;
    EXPECT_EQ(platform.CountCalls("open COM5"), step.opens) << "step " << index;
    EXPECT_EQ(platform.openPorts, step.expected == PortWatch::Away ? 0 : 1) << "step " << index;
    EXPECT_EQ(session.AwaySince().has_value(), step.expected == PortWatch::Away);
    ++index;
  }
  EXPECT_EQ(shown, (std::vector<std::string>{"Brak portu COM5, czekam na jego powrót.",
                                             "Port COM5 wrócił."}));
}

// A second-board block whose write finds the device gone is written again
// after the re-open with its frame ahead of it: the board never gets a
// block without its frame.
TEST(BoardSession, AReopenDuringTheBlockWritesTheFrameAgainAheadOfIt) {
  testing::FakeSerialPlatform platform;
  BoardSession session(platform);
  ASSERT_EQ(session.OpenFromSettings("no-such-ustaw.txt", 7), 7);
  const BoardDots first = Diagonal(0);
  const BoardDots second = Diagonal(5);
  platform.QueuePartialWrite(517);
  platform.QueueFailedWrite(WriteFailure::Gone, 200);
  EXPECT_TRUE(session.Send(first, &second).Ok());
  const std::vector<std::uint8_t> whole = testing::ExpectedWire(first, &second);
  ASSERT_EQ(platform.wire.size(), 517 + 200 + whole.size());
  EXPECT_EQ(std::vector<std::uint8_t>(platform.wire.begin() + 717, platform.wire.end()), whole);
  EXPECT_EQ(platform.CountCalls("open"), 2);
}

TEST(BoardSession, DrainsTheLineWithinTheLimitAskedForAndKnowsTheWireTime) {
  testing::FakeSerialPlatform platform;
  BoardSession session(platform);
  // No port: nothing is asked of any device, and nothing has drained.
  EXPECT_FALSE(session.DrainLine(std::chrono::milliseconds(300)));
  EXPECT_TRUE(platform.drains.empty());

  session.OpenFromSettings("no-such-ustaw.txt", 7);
  platform.drainScript = {true, false};
  EXPECT_TRUE(session.DrainLine(std::chrono::milliseconds(300)));
  EXPECT_FALSE(session.DrainLine(std::chrono::milliseconds(20)));  // the line did not keep up
  EXPECT_EQ(platform.drains, (std::vector<std::chrono::milliseconds>{
                                 std::chrono::milliseconds(300), std::chrono::milliseconds(20)}));

  // 10 bits a byte at 38400 baud: a frame, and a frame with the block.
  EXPECT_EQ(session.WireTime(517), std::chrono::microseconds(134635));
  EXPECT_EQ(session.WireTime(517 + 513), std::chrono::microseconds(268229));
}

TEST(SessionWorker, SendsFromItsOwnThreadAndReportsBack) {
  testing::FakeSerialPlatform platform;
  auto session = std::make_unique<BoardSession>(platform);
  session->OpenFromSettings("no-such-ustaw.txt", 7);  // made and set up on this thread
  SessionWorker worker(std::move(session));

  const BoardDots first = Diagonal(1);
  const BoardDots second = Diagonal(9);
  std::promise<std::pair<std::thread::id, SendReport>> done;
  worker.PostSend(first, std::nullopt, nullptr);
  worker.PostSend(first, second, [&](const SendReport& report) {
    done.set_value({std::this_thread::get_id(), report});
  });
  auto [thread, report] = done.get_future().get();
  EXPECT_NE(thread, std::this_thread::get_id());
  EXPECT_TRUE(report.Ok());

  std::vector<std::uint8_t> expected = testing::ExpectedWire(first);
  const std::vector<std::uint8_t> both = testing::ExpectedWire(first, &second);
  expected.insert(expected.end(), both.begin(), both.end());
  EXPECT_EQ(platform.wire, expected);
}

TEST(SessionWorker, CancellingEndsTheJobInFlightAndDropsTheWaitingOnes) {
  testing::FakeSerialPlatform platform;
  SessionWorker worker(std::make_unique<BoardSession>(platform));
  std::promise<void> started;
  std::promise<bool> stopped;
  worker.Post([&](BoardSession&, std::stop_token stop) {
    started.set_value();
    while (!stop.stop_requested()) std::this_thread::yield();
    stopped.set_value(true);
  });
  bool dropped = true;
  worker.Post([&](BoardSession&, std::stop_token) { dropped = false; });
  started.get_future().wait();
  worker.CancelJobs();
  EXPECT_TRUE(stopped.get_future().get());

  std::promise<void> later;
  worker.Post([&](BoardSession&, std::stop_token) { later.set_value(); });
  later.get_future().wait();
  EXPECT_TRUE(dropped);
}

}  // namespace
}  // namespace tablica
