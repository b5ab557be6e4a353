// Faults with the virtual board on the other end: the board restarts
// between two Sends, is gone when the user presses Send, or receives the
// stub of a frame whose write was given up. The board's own report says what
// arrived: every later Send must reach it as good units with exactly the
// expected bytes, and nothing else.

#include <gtest/gtest.h>

#include <random>
#include <thread>

#include "../soak/emulator_process.h"
#include "pty_peer.h"
#include "serial/serial_link.h"
#include "session/link_send.h"
#include "temp_folder.h"
#include "test_kit.h"

namespace tablica {
namespace {

using namespace std::chrono_literals;
using testing_support::EmulatorProcess;
using testing_support::Hex;
using testing_support::ScopedConfigHome;
using testing_support::TempFolder;

constexpr int kPort = 5;

class EmulatorFaults : public ::testing::Test {
 protected:
  TempFolder home;
  ScopedConfigHome configHome{home.path()};
  std::unique_ptr<SerialPlatform> platform = MakeNativeSerialPlatform();
  CommSettings settings;
  std::vector<std::string> shown;
  ShowMessageFn show = [this](const std::string& text) { shown.push_back(text); };
  SerialLink link{settings, *platform, show};
  BoardFrame frame;
  std::mt19937 random{99};

  std::unique_ptr<EmulatorProcess> StartBoard() {
    auto board = std::make_unique<EmulatorProcess>(TABLICA_EMULATOR, kPort);
    EXPECT_TRUE(board->WaitReady());
    return board;
  }

  void PickPort() {
    settings.portNumber = kPort;
    ASSERT_FALSE(link.OpenComPort()) << ::testing::PrintToString(shown);
  }

  // Sends two fresh pictures with the second board; returns the wire bytes
  // they must give.
  std::vector<std::uint8_t> Send(SendResult expected = SendResult::Sent) {
    const Bitmap first = testing::RandomPicture(random);
    const Bitmap second = testing::RandomPicture(random);
    EXPECT_EQ(RunSendCommand(link, frame, show, SendRequest{first, second, true, true}), expected);
    return testing::ExpectedWire(first, second, true);
  }

  // The board reports exactly this Send: a good frame, a good block.
  static void ExpectArrived(EmulatorProcess& board, const std::vector<std::uint8_t>& wire) {
    const auto frameLine = board.NextLine();
    ASSERT_TRUE(frameLine);
    EXPECT_NE(frameLine->find("\"event\":\"frame\""), std::string::npos) << *frameLine;
    EXPECT_NE(frameLine->find("\"checksum_ok\":true"), std::string::npos) << *frameLine;
    EXPECT_NE(frameLine->find(Hex(wire, 0, 517)), std::string::npos) << "frame bytes";
    const auto blockLine = board.NextLine();
    ASSERT_TRUE(blockLine);
    EXPECT_NE(blockLine->find("\"event\":\"block\""), std::string::npos) << *blockLine;
    EXPECT_NE(blockLine->find("\"checksum_ok\":true"), std::string::npos) << *blockLine;
    EXPECT_NE(blockLine->find(Hex(wire, 517, 513)), std::string::npos) << "block bytes";
  }
};

TEST_F(EmulatorFaults, BoardRestartedBetweenSendsIsReopenedSilently) {
  auto board = StartBoard();
  PickPort();
  ExpectArrived(*board, Send());
  EXPECT_EQ(board->Stop(), std::vector<std::string>{});

  // A new board answers on the same port before the next Send: the write
  // finds the old device gone, opens the port anew and sends it all there.
  board = StartBoard();
  const auto wire = Send();
  ExpectArrived(*board, wire);
  EXPECT_TRUE(shown.empty()) << shown.front();
  EXPECT_EQ(settings.portNumber, kPort);
  EXPECT_EQ(board->Stop(), std::vector<std::string>{}) << "nothing but the Send arrived";
}

TEST_F(EmulatorFaults, BoardGoneAtSendTimeIsReportedAndThePortIsPickedAgain) {
  auto board = StartBoard();
  PickPort();
  ExpectArrived(*board, Send());
  board->Stop();

  Send(SendResult::WriteFailed);
  EXPECT_EQ(shown, (std::vector<std::string>{"Nie mogę otworzyć portu COM5.",
                                             "Nie wybrano portu komunikacyjnego."}));
  EXPECT_EQ(settings.portNumber, 255);

  // The board is back; the user picks the port again and sends.
  board = StartBoard();
  shown.clear();
  PickPort();
  ExpectArrived(*board, Send());
  EXPECT_TRUE(shown.empty());
  EXPECT_EQ(board->Stop(), std::vector<std::string>{})
      << "nothing of the failed Send reached the new board";
}

TEST_F(EmulatorFaults, StubOfAGivenUpFrameIsReportedAndTheNextSendIsGood) {
  auto board = StartBoard();
  PickPort();
  // What a write that gave up part-way leaves on the line: the first 300
  // bytes of a frame, then silence (a give-up takes at least seconds).
  std::vector<std::uint8_t> stub = Send(SendResult::Sent);
  ExpectArrived(*board, stub);
  stub.resize(300);
  ASSERT_FALSE(link.WriteComBlock(stub.data(), 300));
  const auto stubLine = board->NextLine();  // the board gives up on it after a quiet second
  ASSERT_TRUE(stubLine);
  EXPECT_NE(stubLine->find("\"event\":\"garbage\""), std::string::npos) << *stubLine;
  EXPECT_NE(stubLine->find(Hex(stub, 0, 300)), std::string::npos) << "the stub, reported whole";

  ExpectArrived(*board, Send());
  EXPECT_TRUE(shown.empty());
  EXPECT_EQ(board->Stop(), std::vector<std::string>{});
}

}  // namespace
}  // namespace tablica
