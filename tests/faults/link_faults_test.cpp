// The serial link against real pseudo-terminals whose far end misbehaves in
// the middle of a Send: it stops reading and comes back, stops for good,
// hangs up, vanishes and returns, or the port is taken by another process.
// Each case checks what the user is told, the state the port is left in, and
// that the next Send after recovery puts exactly the expected bytes on the
// wire.

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <future>
#include <thread>
#include <tuple>

#include "../soak/emulator_process.h"
#include "pty_peer.h"
#include "recording_platform.h"
#include "serial/serial_link.h"
#include "session/link_send.h"
#include "temp_folder.h"
#include "test_kit.h"

namespace tablica {
namespace {

using namespace std::chrono_literals;
using faults::RecordingPlatform;
using testing::ExpectedWire;
using testing::RandomPicture;
using testing_support::Hex;
using testing_support::PtyPeer;
using testing_support::ScopedConfigHome;
using testing_support::TempFolder;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kBacklogByte = 0x55;

class LinkFaults : public ::testing::Test {
 protected:
  TempFolder home;
  ScopedConfigHome configHome{home.path()};
  std::unique_ptr<PtyPeer> peer = std::make_unique<PtyPeer>();
  RecordingPlatform platform;
  CommSettings settings;
  std::mutex shownMutex;
  std::vector<std::string> shown;
  LinkLimits limits;
  std::unique_ptr<SerialLink> link;
  BoardFrame frame;
  std::mt19937 random{2024};
  Bitmap first = RandomPicture(random);
  Bitmap second = RandomPicture(random);
  int backlogFd = -1;

  ~LinkFaults() override {
    if (backlogFd >= 0) ::close(backlogFd);
  }

  void MakeLink() {
    link = std::make_unique<SerialLink>(
        settings, platform,
        [this](const std::string& text) {
          std::lock_guard lock(shownMutex);
          shown.push_back(text);
        },
        limits);
  }

  std::vector<std::string> Shown() {
    std::lock_guard lock(shownMutex);
    return shown;
  }

  // Opens port `port` on the current peer, as picking it in the port list does.
  void PickPort(int port) {
    if (!link) MakeLink();
    peer->LinkAs(configHome.PortsFolder(), port);
    settings.portNumber = static_cast<std::uint8_t>(port);
    ASSERT_FALSE(link->OpenComPort()) << ::testing::PrintToString(Shown());
  }

  // Keeps a second handle on the terminal to stuff the line with, taken
  // before the link's exclusive open.
  void TakeBacklogHandle() {
    backlogFd = ::open(peer->SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(backlogFd, 0);
  }

  // Fills the line until it holds no more: the peer has stopped reading.
  std::size_t FillLine() { return Stuff(backlogFd, SIZE_MAX); }

  // Fills the line so that exactly `room` more bytes fit. The terminal's
  // buffer is the same size for every pseudo-terminal, so it is measured on
  // a spare one first.
  std::size_t FillLineLeaving(std::size_t room) {
    PtyPeer spare;
    const int fd = ::open(spare.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    const std::size_t capacity = Stuff(fd, SIZE_MAX);
    ::close(fd);
    return Stuff(backlogFd, capacity - room);
  }

  // Writes up to `limit` backlog bytes without blocking; returns how many
  // went. The kernel moves bytes along in the background, so a pause and a
  // second round top the line up.
  static std::size_t Stuff(int fd, std::size_t limit) {
    const Bytes chunk(512, kBacklogByte);
    std::size_t total = 0;
    for (int round = 0; round < 2; ++round) {
      while (total < limit) {
        const ssize_t n = ::write(fd, chunk.data(), std::min(chunk.size(), limit - total));
        if (n <= 0) break;
        total += static_cast<std::size_t>(n);
      }
      std::this_thread::sleep_for(50ms);
    }
    return total;
  }

  SendResult Send(bool secondBoard) {
    return RunSendCommand(
        *link, frame,
        [this](const std::string& text) {
          std::lock_guard lock(shownMutex);
          shown.push_back(text);
        },
        SendRequest{first, second, secondBoard, true});
  }

  std::future<SendResult> SendInBackground(bool secondBoard) {
    return std::async(std::launch::async, [this, secondBoard] { return Send(secondBoard); });
  }

  // A Send after recovery: every byte of it arrives, exactly as expected, and
  // nothing is said.
  void ExpectCleanSend(PtyPeer& reader) {
    const auto before = Shown();
    first = RandomPicture(random);
    second = RandomPicture(random);
    EXPECT_EQ(Send(true), SendResult::Sent);
    EXPECT_EQ(reader.Read(1030), ExpectedWire(first, second, true));
    EXPECT_EQ(reader.Drain(100ms), Bytes{}) << "nothing after the Send";
    EXPECT_EQ(Shown(), before);
  }
};

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST_F(LinkFaults, PeerStallsMidFrameForLongerThanAnAttemptThenResumes) {
  TakeBacklogHandle();
  PickPort(3);
  const Bytes expected = ExpectedWire(first, second, true);

  // Only part of the frame fits on the line, and the peer reads nothing for
  // longer than one write attempt may last (10.36 s for 517 bytes).
  const std::size_t backlog = FillLineLeaving(300);
  auto sending = SendInBackground(true);
  ASSERT_TRUE(platform.WaitForEndedAttempts(1, 15s));
  ASSERT_EQ(sending.wait_for(0s), std::future_status::timeout) << "the Send waits for the peer";
  const Bytes received = peer->Read(backlog + expected.size(), 20s);
  EXPECT_EQ(sending.get(), SendResult::Sent);

  EXPECT_EQ(received, Concat(Bytes(backlog, kBacklogByte), expected))
      << "every byte once, in order";
  EXPECT_TRUE(Shown().empty());
  EXPECT_EQ(settings.portNumber, 3);
  EXPECT_TRUE(link->HasComHandle());
  // The first attempt ended part-way through the frame; the next one took
  // over at the first byte not sent.
  const auto attempts = platform.Attempts();
  ASSERT_GE(attempts.size(), 3u);
  EXPECT_EQ(attempts[0].requested, 517u);
  EXPECT_EQ(attempts[0].outcome.written, 300u);
  EXPECT_EQ(attempts[1].requested, 517u - attempts[0].outcome.written);
  ExpectCleanSend(*peer);
}

TEST_F(LinkFaults, PeerThatNeverReadsAgainEndsTheWriteAtTheNoProgressBound) {
  limits.noProgressLimit = 300ms;  // 30 s in the program
  TakeBacklogHandle();
  MakeLink();
  PickPort(4);
  const std::size_t backlog = FillLine();

  // One attempt runs its full time (10.36 s) without a byte going out; with
  // nothing moving for longer than the bound the write gives up.
  EXPECT_EQ(Send(false), SendResult::WriteFailed);
  EXPECT_EQ(Shown(), std::vector<std::string>{"Upłynął limit czasu transmisji."});
  EXPECT_EQ(settings.portNumber, 4) << "the port stays chosen and open";
  EXPECT_TRUE(link->HasComHandle());
  EXPECT_EQ(platform.Attempts().size(), 1u);

  // The board reads again: only the old backlog was on the line, and the
  // next Send goes out whole.
  EXPECT_EQ(peer->Read(backlog), Bytes(backlog, kBacklogByte));
  EXPECT_EQ(peer->Drain(100ms), Bytes{});
  shown.clear();
  ExpectCleanSend(*peer);
}

TEST_F(LinkFaults, PeerHangingUpMidFrameClosesThePortUntilItIsPickedAgain) {
  TakeBacklogHandle();
  PickPort(5);
  FillLineLeaving(300);  // the first 300 bytes of the frame go out
  auto sending = SendInBackground(true);
  ASSERT_TRUE(platform.WaitForStartedAttempts(1, 5s));
  std::this_thread::sleep_for(100ms);
  ::close(std::exchange(backlogFd, -1));
  peer->HangUp();
  EXPECT_EQ(sending.get(), SendResult::WriteFailed);
  // The frame's write finds the device gone and cannot open it again; the
  // block behind it then has no port.
  EXPECT_EQ(Shown(), (std::vector<std::string>{"Nie mogę otworzyć portu COM5.",
                                               "Nie wybrano portu komunikacyjnego."}));
  EXPECT_EQ(settings.portNumber, 255);
  EXPECT_FALSE(link->HasComHandle());

  // A Send now says so and writes nothing.
  shown.clear();
  EXPECT_EQ(Send(true), SendResult::NoPort);
  EXPECT_EQ(Shown(), std::vector<std::string>{"Nie wybrano portu komunikacyjnego."});

  // The board is back (on a new terminal); the user picks the port again.
  peer = std::make_unique<PtyPeer>();
  shown.clear();
  PickPort(5);
  ExpectCleanSend(*peer);
}

TEST_F(LinkFaults, DeviceThatVanishesMidSendAndReturnsGetsTheWholeSend) {
  TakeBacklogHandle();
  PickPort(6);
  FillLine();
  const Bytes expected = ExpectedWire(first, second, true);
  auto sending = SendInBackground(true);
  ASSERT_TRUE(platform.WaitForStartedAttempts(1, 5s));
  std::this_thread::sleep_for(100ms);
  // The device comes back under the same port name, then the old one goes:
  // the write finds it gone, re-opens the port and starts again from the
  // first byte that had not gone out (here the first byte of the frame).
  auto returned = std::make_unique<PtyPeer>();
  returned->LinkAs(configHome.PortsFolder(), 6);
  ::close(std::exchange(backlogFd, -1));
  peer->HangUp();
  EXPECT_EQ(sending.get(), SendResult::Sent);
  EXPECT_EQ(returned->Read(expected.size()), expected);
  EXPECT_TRUE(Shown().empty());
  EXPECT_EQ(settings.portNumber, 6);
  EXPECT_TRUE(link->HasComHandle());
  EXPECT_EQ(platform.Opens(), (std::vector<std::string>{"COM6", "COM6"}));
  ExpectCleanSend(*returned);
}

TEST_F(LinkFaults, DeviceThatVanishesMidFrameGetsItAgainFromItsFirstByte) {
  TakeBacklogHandle();
  PickPort(6);
  FillLineLeaving(300);  // 300 bytes of the frame reach the old device
  const Bytes expected = ExpectedWire(first, second, true);
  auto sending = SendInBackground(true);
  ASSERT_TRUE(platform.WaitForStartedAttempts(1, 5s));
  std::this_thread::sleep_for(100ms);
  auto returned = std::make_unique<PtyPeer>();
  returned->LinkAs(configHome.PortsFolder(), 6);
  ::close(std::exchange(backlogFd, -1));
  peer->HangUp();
  EXPECT_EQ(sending.get(), SendResult::Sent);
  // The old device's driver had taken bytes it never sent: the returned
  // device gets the frame from its first byte, then the block.
  EXPECT_EQ(returned->Read(expected.size()), expected);
  EXPECT_TRUE(Shown().empty());
  EXPECT_EQ(settings.portNumber, 6);
  ExpectCleanSend(*returned);
}

TEST_F(LinkFaults, BoardThatReturnsMidFrameGetsTheFrameWhole) {
  TakeBacklogHandle();
  PickPort(6);
  FillLineLeaving(300);
  const Bytes expected = ExpectedWire(first, second, true);
  auto sending = SendInBackground(true);
  ASSERT_TRUE(platform.WaitForStartedAttempts(1, 5s));
  std::this_thread::sleep_for(100ms);
  // The virtual board takes the port over while the old device still hangs
  // on to the first 300 bytes of the frame, then the old device goes.
  std::filesystem::remove(configHome.PortsFolder() / "com6");
  testing_support::EmulatorProcess board(TABLICA_EMULATOR, 6);
  ASSERT_TRUE(board.WaitReady());
  ::close(std::exchange(backlogFd, -1));
  peer->HangUp();
  EXPECT_EQ(sending.get(), SendResult::Sent);
  EXPECT_TRUE(Shown().empty()) << "the user is told nothing";

  // Written again from its first byte: the board gets the frame and the
  // block whole, and no stray byte.
  for (const auto& [event, from, count] :
       {std::tuple{"frame", 0, 517}, std::tuple{"block", 517, 513}}) {
    const auto line = board.NextLine();
    ASSERT_TRUE(line);
    EXPECT_NE(line->find(std::string("\"event\":\"") + event + "\""), std::string::npos) << *line;
    EXPECT_NE(line->find("\"checksum_ok\":true"), std::string::npos) << *line;
    EXPECT_NE(line->find(Hex(expected, from, count)), std::string::npos) << "exact bytes";
  }
  EXPECT_EQ(board.Stop(), std::vector<std::string>{});
  EXPECT_EQ(settings.portNumber, 6);
}

// Holds the terminal at `path` open and locked in a child process until the
// object is destroyed.
class OtherProcessHolding {
 public:
  explicit OtherProcessHolding(const std::string& path) {
    int ready[2];
    if (::pipe(ready) != 0) throw std::runtime_error("pipe");
    child_ = ::fork();
    if (child_ == 0) {
      const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
      const bool held = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
      if (held) ::ioctl(fd, TIOCEXCL);
      const char answer = held ? 'y' : 'n';
      [[maybe_unused]] ssize_t ignored = ::write(ready[1], &answer, 1);
      for (;;) ::pause();
    }
    ::close(ready[1]);
    char answer = 'n';
    [[maybe_unused]] ssize_t ignored = ::read(ready[0], &answer, 1);
    ::close(ready[0]);
    held_ = answer == 'y';
  }
  ~OtherProcessHolding() { Release(); }
  bool Held() const { return held_; }
  void Release() {
    if (child_ <= 0) return;
    ::kill(child_, SIGKILL);
    ::waitpid(child_, nullptr, 0);
    child_ = -1;
  }

 private:
  pid_t child_ = -1;
  bool held_ = false;
};

TEST_F(LinkFaults, PortHeldByAnotherProcessIsRefusedUntilItIsLetGo) {
  peer->LinkAs(configHome.PortsFolder(), 7);
  OtherProcessHolding other(peer->SlavePath());
  ASSERT_TRUE(other.Held());
  MakeLink();
  settings.portNumber = 7;
  EXPECT_TRUE(link->OpenComPort());
  EXPECT_EQ(Shown(), std::vector<std::string>{"Nie mogę otworzyć portu COM7."});
  EXPECT_EQ(settings.portNumber, 255);
  EXPECT_FALSE(link->HasComHandle());
  EXPECT_EQ(Send(true), SendResult::NoPort);
  EXPECT_EQ(peer->Drain(100ms), Bytes{}) << "nothing reaches the board meanwhile";

  other.Release();
  shown.clear();
  PickPort(7);
  ExpectCleanSend(*peer);
}

}  // namespace
}  // namespace tablica
