#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "fake_serial_platform.h"
#include "serial/serial_link.h"

namespace tablica {
namespace {

using testing::FakeSerialPlatform;

class LinkTest : public ::testing::Test {
 protected:
  CommSettings settings;
  FakeSerialPlatform platform;
  std::vector<std::string> shown;
  SerialLink link{settings, platform, [this](const std::string& text) { shown.push_back(text); }};

  std::vector<std::uint8_t> Block(std::size_t size) {
    std::vector<std::uint8_t> block(size);
    std::iota(block.begin(), block.end(), std::uint8_t{1});
    return block;
  }
  void OpenPort(std::uint8_t port) {
    settings.portNumber = port;
    ASSERT_FALSE(link.OpenComPort());
    platform.calls.clear();
    platform.timeouts.clear();
  }
};

TEST(DeviceNames, SignedNumberAndNamespaceFromTen) {
  EXPECT_EQ(ComDeviceName(1), "COM1");
  EXPECT_EQ(ComDeviceName(9), "COM9");
  EXPECT_EQ(ComDeviceName(10), "\\\\.\\COM10");
  EXPECT_EQ(ComDeviceName(64), "\\\\.\\COM64");
  EXPECT_EQ(ComDeviceName(127), "\\\\.\\COM127");
  EXPECT_EQ(ComDeviceName(0), "COM0");
  EXPECT_EQ(ComDeviceName(200), "COM-56");
}

TEST(Messages, PolishTextsVerbatim) {
  EXPECT_EQ(messages::CannotOpenPort(7), "Nie mogę otworzyć portu COM7.");
  EXPECT_EQ(messages::CannotOpenPort(200), "Nie mogę otworzyć portu COM-56.");
  EXPECT_EQ(messages::CannotOpenPortWithSettings(7),
            "Nie mogę otworzyć portu COM7 z takimi ustawieniami.");
  EXPECT_STREQ(messages::kNoPortChosen, "Nie wybrano portu komunikacyjnego.");
  EXPECT_STREQ(messages::kTransmissionError, "Wystąpił błąd transmisji.");
  EXPECT_STREQ(messages::kTransmissionTimeout, "Upłynął limit czasu transmisji.");
}

TEST(Timeouts, OpenAndPerAttemptValues) {
  EXPECT_EQ(OpenTimeouts(), (CommTimeouts{0, 0, 100, 10, 100}));
  EXPECT_EQ(WriteAttemptTimeouts(517, 38400), (CommTimeouts{0, 0, 100, 20, 20}));
  EXPECT_EQ(WriteAttemptTimeouts(513, 38400).writeTotalTimeoutConstant, 20u);
  EXPECT_EQ(WriteAttemptTimeouts(100, 38400).writeTotalTimeoutConstant, 12u);
  EXPECT_EQ(WriteAttemptTimeouts(317, 38400).writeTotalTimeoutConstant, 16u);
  // The product is 32-bit unsigned: it wraps rather than widening.
  EXPECT_EQ(WriteAttemptTimeouts(6000000, 1).writeTotalTimeoutConstant,
            static_cast<std::uint32_t>(6000000u * 800u) + 10u);
}

TEST_F(LinkTest, OpenConfiguresAndClearsTheLine) {
  settings.portNumber = 12;
  platform.lineScript.push_back({.queried = true, .errorMask = 4});  // stale error from before
  EXPECT_FALSE(link.OpenComPort());
  EXPECT_EQ(platform.calls, (std::vector<std::string>{"open \\\\.\\COM12", "timeouts 10/100",
                                                      "configure 38400", "clear"}));
  EXPECT_TRUE(link.HasComHandle());
  EXPECT_EQ(settings.portNumber, 12);
  EXPECT_TRUE(shown.empty());
}

TEST_F(LinkTest, FailedOpenNamesThePortAndClearsTheNumber) {
  OpenPort(3);
  settings.portNumber = 7;
  platform.failingOpens.insert("COM7");
  EXPECT_TRUE(link.OpenComPort());
  EXPECT_EQ(shown, std::vector<std::string>{"Nie mogę otworzyć portu COM7."});
  EXPECT_EQ(settings.portNumber, 255);
  EXPECT_TRUE(link.HasComHandle()) << "the COM handle stays as it was";
  EXPECT_EQ(platform.openPorts, 1);
}

TEST_F(LinkTest, RefusedSettingsCloseTheNewHandle) {
  settings.portNumber = 200;
  platform.refusedConfigurations.insert("COM-56");
  EXPECT_TRUE(link.OpenComPort());
  EXPECT_EQ(shown,
            std::vector<std::string>{"Nie mogę otworzyć portu COM-56 z takimi ustawieniami."});
  EXPECT_EQ(settings.portNumber, 255);
  EXPECT_EQ(platform.openPorts, 0);
  EXPECT_FALSE(link.HasComHandle());
}

TEST_F(LinkTest, NoPortChosenWritesNothing) {
  auto block = Block(517);
  const auto before = block;
  EXPECT_TRUE(link.WriteComBlock(block.data(), 517));
  EXPECT_EQ(shown, std::vector<std::string>{"Nie wybrano portu komunikacyjnego."});
  EXPECT_EQ(block, before);
  EXPECT_TRUE(platform.calls.empty());
}

TEST_F(LinkTest, CompleteAttemptNeitherChecksTheLineNorPauses) {
  OpenPort(1);
  auto block = Block(517);
  EXPECT_FALSE(link.WriteComBlock(block.data(), 517));
  EXPECT_EQ(platform.calls, (std::vector<std::string>{"timeouts 20/20", "write 517"}));
  EXPECT_EQ(platform.wire, block);
  EXPECT_TRUE(shown.empty());
}

TEST_F(LinkTest, IncompleteAttemptResumesFromTheFirstUnsentByte) {
  OpenPort(1);
  auto block = Block(517);
  platform.QueuePartialWrite(200);
  platform.lineScript.push_back({.queried = true, .ctsHold = true});  // output held: go on
  EXPECT_FALSE(link.WriteComBlock(block.data(), 517));
  EXPECT_EQ(platform.calls, (std::vector<std::string>{"timeouts 20/20", "write 517", "clear",
                                                      "sleep 1", "timeouts 20/16", "write 317"}));
  ASSERT_EQ(platform.writeRequests.size(), 2u);
  EXPECT_EQ(platform.writeRequests[1], std::vector<std::uint8_t>(block.begin() + 200, block.end()));
  EXPECT_EQ(platform.wire, block) << "no byte lost or repeated";
}

TEST_F(LinkTest, FailedAttemptCountsNoBytes) {
  OpenPort(1);
  auto block = Block(100);
  platform.QueueFailedWrite(WriteFailure::Other, 40);
  EXPECT_FALSE(link.WriteComBlock(block.data(), 100));
  ASSERT_EQ(platform.writeRequests.size(), 2u);
  EXPECT_EQ(platform.writeRequests[1].size(), 100u);
  EXPECT_EQ(platform.timeouts[0].writeTotalTimeoutConstant, 12u);
}

TEST_F(LinkTest, GivesUpAtThe1001stIncompleteAttemptAndSaysSo) {
  OpenPort(4);
  auto block = Block(517);
  for (int i = 0; i < 1001; ++i) platform.QueuePartialWrite(0);
  platform.writeDuration = std::chrono::milliseconds(0);  // never trips the time bound
  EXPECT_TRUE(link.WriteComBlock(block.data(), 517));
  EXPECT_EQ(platform.CountCalls("write"), 1001);
  EXPECT_EQ(platform.sleeps, 1001);
  EXPECT_EQ(block[0], 0) << "the first byte of the block is cleared";
  EXPECT_EQ(block[1], 2);
  EXPECT_EQ(shown, std::vector<std::string>{"Upłynął limit czasu transmisji."});
  EXPECT_EQ(settings.portNumber, 4) << "the port stays open";
  EXPECT_TRUE(link.HasComHandle());
}

TEST_F(LinkTest, AttemptsThatMoveBytesKeepTheAttemptRule) {
  OpenPort(4);
  auto block = Block(517);
  platform.writeDuration = std::chrono::seconds(10);  // slow, but always moving
  for (int i = 0; i < 516; ++i) platform.QueuePartialWrite(1);
  EXPECT_FALSE(link.WriteComBlock(block.data(), 517));
  EXPECT_EQ(platform.wire, block);
  EXPECT_TRUE(shown.empty());
}

TEST_F(LinkTest, ThirtySecondsWithoutProgressEndTheWrite) {
  OpenPort(4);
  auto block = Block(517);
  platform.QueuePartialWrite(17);
  for (int i = 0; i < 1000; ++i) platform.QueuePartialWrite(0);
  platform.writeDuration = std::chrono::milliseconds(999);  // 1 s per attempt with the pause
  EXPECT_TRUE(link.WriteComBlock(block.data(), 517));
  EXPECT_EQ(platform.CountCalls("write"), 31) << "one moving attempt, then 30 s of stalled ones";
  EXPECT_EQ(shown, std::vector<std::string>{"Upłynął limit czasu transmisji."});
  EXPECT_EQ(block[0], 0);
  EXPECT_EQ(settings.portNumber, 4);
}

TEST_F(LinkTest, LineErrorClosesThePort) {
  OpenPort(2);
  auto block = Block(517);
  platform.QueuePartialWrite(100);
  platform.lineScript.push_back({.queried = true, .errorMask = 2});
  EXPECT_TRUE(link.WriteComBlock(block.data(), 517));
  EXPECT_EQ(shown, std::vector<std::string>{"Wystąpił błąd transmisji."});
  EXPECT_EQ(block[0], 0);
  EXPECT_EQ(settings.portNumber, 255);
  EXPECT_EQ(platform.openPorts, 0);
  // A second write in the same command fails at once.
  EXPECT_TRUE(link.WriteComBlock(block.data() + 4, 513));
  EXPECT_EQ(shown.back(), "Nie wybrano portu komunikacyjnego.");
  EXPECT_EQ(platform.CountCalls("write"), 1);
}

TEST_F(LinkTest, FailedLineQueryIsALineError) {
  OpenPort(2);
  auto block = Block(10);
  platform.QueuePartialWrite(0);
  platform.lineScript.push_back({.queried = false});
  EXPECT_TRUE(link.WriteComBlock(block.data(), 10));
  EXPECT_EQ(shown, std::vector<std::string>{"Wystąpił błąd transmisji."});
}

// The old port's driver may have taken bytes it never sent (it reported
// 100 of 217 here, and a pulled adapter may have lost more): after the
// re-open the block goes out again whole, or the board would get the rest
// of a block only.
TEST_F(LinkTest, AGoneOrTakenDeviceIsOpenedAnewAndTheBlockWrittenAgainFromItsFirstByte) {
  for (const WriteFailure failure : {WriteFailure::Gone, WriteFailure::AccessDenied}) {
    SCOPED_TRACE(static_cast<int>(failure));
    platform = {};
    shown.clear();
    OpenPort(11);
    auto block = Block(517);
    platform.QueuePartialWrite(300);
    platform.QueueFailedWrite(failure, 100);
    EXPECT_FALSE(link.WriteComBlock(block.data(), 517));
    EXPECT_EQ(platform.calls,
              (std::vector<std::string>{"timeouts 20/20", "write 517", "clear", "sleep 1",
                                        "timeouts 20/14", "write 217", "close \\\\.\\COM11",
                                        "open \\\\.\\COM11", "timeouts 10/100", "configure 38400",
                                        "clear", "timeouts 20/20", "write 517"}));
    EXPECT_EQ(platform.writeRequests.back(), block);
    EXPECT_EQ(settings.portNumber, 11);
    EXPECT_TRUE(shown.empty());
    link.CloseComHandle();
  }
}

TEST_F(LinkTest, AccessDeniedWithFailedReopenShowsOnlyTheOpenMessage) {
  OpenPort(3);
  auto block = Block(517);
  const auto before = block;
  platform.QueueFailedWrite(WriteFailure::AccessDenied);
  platform.failingOpens.insert("COM3");
  EXPECT_TRUE(link.WriteComBlock(block.data(), 517));
  EXPECT_EQ(shown, std::vector<std::string>{"Nie mogę otworzyć portu COM3."});
  EXPECT_EQ(settings.portNumber, 255);
  EXPECT_EQ(block, before) << "the block is left as it was";
  EXPECT_EQ(platform.openPorts, 0);
}

TEST_F(LinkTest, ReopensWithoutProgressAreBounded) {
  OpenPort(3);
  auto block = Block(517);
  for (int i = 0; i < 10; ++i) platform.QueueFailedWrite(WriteFailure::AccessDenied);
  EXPECT_TRUE(link.WriteComBlock(block.data(), 517));
  EXPECT_EQ(platform.CountCalls("open"), 3);
  EXPECT_EQ(platform.CountCalls("write"), 4);
  EXPECT_EQ(shown, std::vector<std::string>{"Wystąpił błąd transmisji."});
  EXPECT_EQ(settings.portNumber, 255);
  EXPECT_EQ(platform.openPorts, 0);
  EXPECT_EQ(platform.sleeps, 0) << "re-opens do not pause";
}

TEST_F(LinkTest, ProgressResetsTheReopenBound) {
  OpenPort(3);
  auto block = Block(517);
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 3; ++i) platform.QueueFailedWrite(WriteFailure::AccessDenied);
    platform.QueuePartialWrite(100);
  }
  EXPECT_FALSE(link.WriteComBlock(block.data(), 517));
  EXPECT_EQ(platform.CountCalls("open"), 9);
  // Each re-open starts the block again: what the board keeps is its last
  // whole copy.
  ASSERT_GE(platform.wire.size(), block.size());
  EXPECT_EQ(std::vector<std::uint8_t>(platform.wire.end() - 517, platform.wire.end()), block);
  EXPECT_TRUE(shown.empty());
}

}  // namespace
}  // namespace tablica
