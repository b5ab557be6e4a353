// The POSIX backend against real pseudo-terminals.

#include <fcntl.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <numeric>
#include <thread>

#include "pty_peer.h"
#include "serial/posix_device_path.h"
#include "serial/serial_link.h"
#include "temp_folder.h"

namespace tablica {
namespace {

using namespace std::chrono_literals;
using testing_support::PtyPeer;
using testing_support::ScopedConfigHome;
using testing_support::TempFolder;

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t first = 0) {
  std::vector<std::uint8_t> bytes(size);
  std::iota(bytes.begin(), bytes.end(), first);  // every byte value, control bytes included
  return bytes;
}

class PtyLinkTest : public ::testing::Test {
 protected:
  TempFolder home;
  ScopedConfigHome configHome{home.path()};
  PtyPeer peer;
  std::unique_ptr<SerialPlatform> platform = MakeNativeSerialPlatform();
  CommSettings settings;
  std::vector<std::string> shown;
  SerialLink link{settings, *platform, [this](const std::string& text) { shown.push_back(text); }};

  void OpenAs(int port) {
    peer.LinkAs(configHome.PortsFolder(), port);
    settings.portNumber = static_cast<std::uint8_t>(port);
    ASSERT_FALSE(link.OpenComPort()) << (shown.empty() ? "" : shown.back());
  }
};

TEST(PortNames, DeviceNamesResolveThroughLinksOrTtyS) {
  EXPECT_EQ(PortNumberFromDeviceName("COM7"), 7);
  EXPECT_EQ(PortNumberFromDeviceName("\\\\.\\COM12"), 12);
  EXPECT_EQ(PortNumberFromDeviceName("COM-56"), -56);
  EXPECT_EQ(PortNumberFromDeviceName("LPT1"), std::nullopt);
  EXPECT_EQ(PortNumberFromDeviceName("COM7x"), std::nullopt);
  TempFolder folder;
  EXPECT_EQ(ResolvePortDevice(3, folder.path()), std::filesystem::path("/dev/ttyS2"));
  EXPECT_EQ(ResolvePortDevice(0, folder.path()), std::nullopt);
  std::filesystem::create_symlink("/nowhere/at/all", folder.path() / "com3");
  EXPECT_EQ(ResolvePortDevice(3, folder.path()), folder.path() / "com3");
}

TEST_F(PtyLinkTest, BoardFrameArrivesIntactAndTheLineIsRaw38400) {
  OpenAs(5);
  auto block = Pattern(517);
  EXPECT_FALSE(link.WriteComBlock(block.data(), 517));
  EXPECT_EQ(peer.Read(517), block);
  auto second = Pattern(513, 7);
  EXPECT_FALSE(link.WriteComBlock(second.data(), 513));
  EXPECT_EQ(peer.Read(513), second);
  EXPECT_TRUE(shown.empty());

  // The tty's settings as anyone looking at the device sees them.
  const int fd = ::open(peer.SlavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
  if (fd >= 0) {  // only root may look past the exclusive flag
    termios tio{};
    ASSERT_EQ(::tcgetattr(fd, &tio), 0);
    EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B38400));
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);
    ::close(fd);
  }
}

TEST_F(PtyLinkTest, DrainReturnsWithinItsLimitAndAPseudoTerminalQueuesNothing) {
  OpenAs(4);
  // The peer is not reading. A pseudo-terminal hands every byte to its far
  // end at once and keeps no output queue of its own (TIOCOUTQ says 0), so
  // there is nothing to wait for: a writer that must keep pace with the far
  // end cannot learn it from the drain here and paces by the wire time.
  auto block = Pattern(517);
  EXPECT_FALSE(link.WriteComBlock(block.data(), 517));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(link.Drain(2s));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
  EXPECT_EQ(peer.Read(517), block);
  EXPECT_TRUE(shown.empty());
  // With no port there is nothing to drain, and that is no success.
  link.CloseComHandle();
  EXPECT_FALSE(link.Drain(100ms));
}

TEST_F(PtyLinkTest, PortNumberTenAndUpOpensThroughTheNamespaceName) {
  OpenAs(12);
  auto block = Pattern(513);
  EXPECT_FALSE(link.WriteComBlock(block.data(), 513));
  EXPECT_EQ(peer.Read(513), block);
}

TEST_F(PtyLinkTest, SecondOpenOfAnOpenPortFails) {
  OpenAs(6);
  CommSettings otherSettings;
  otherSettings.portNumber = 6;
  std::vector<std::string> otherShown;
  SerialLink other(otherSettings, *platform,
                   [&](const std::string& text) { otherShown.push_back(text); });
  EXPECT_TRUE(other.OpenComPort());
  EXPECT_EQ(otherShown, std::vector<std::string>{"Nie mogę otworzyć portu COM6."});
  EXPECT_EQ(otherSettings.portNumber, 255);
  // Once the first holder lets go, the port opens again.
  link.CloseComHandle();
  otherSettings.portNumber = 6;
  EXPECT_FALSE(other.OpenComPort());
}

TEST_F(PtyLinkTest, PortHeldByAnotherProgramFails) {
  peer.LinkAs(configHome.PortsFolder(), 8);
  const int holder = ::open(peer.SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
  settings.portNumber = 8;
  EXPECT_TRUE(link.OpenComPort());
  EXPECT_EQ(shown, std::vector<std::string>{"Nie mogę otworzyć portu COM8."});
  ::close(holder);
}

TEST_F(PtyLinkTest, MissingDeviceFailsWithTheOpenMessage) {
  std::filesystem::create_directories(configHome.PortsFolder());
  std::filesystem::create_symlink(home.path() / "no-such-device",
                                  configHome.PortsFolder() / "com9");
  settings.portNumber = 9;
  EXPECT_TRUE(link.OpenComPort());
  EXPECT_EQ(shown, std::vector<std::string>{"Nie mogę otworzyć portu COM9."});
  EXPECT_EQ(settings.portNumber, 255);
}

TEST_F(PtyLinkTest, AFileThatIsNoTerminalIsRefusedWithTheSettingsMessage) {
  std::filesystem::create_directories(configHome.PortsFolder());
  const auto plain = home.path() / "plain-file";
  { std::ofstream(plain) << "x"; }
  std::filesystem::create_symlink(plain, configHome.PortsFolder() / "com4");
  settings.portNumber = 4;
  EXPECT_TRUE(link.OpenComPort());
  EXPECT_EQ(shown, std::vector<std::string>{"Nie mogę otworzyć portu COM4 z takimi ustawieniami."});
}

// Fills the line until the peer's side holds no more.
std::size_t FillLine(int fd) {
  std::vector<std::uint8_t> chunk(1024, 0x55);
  std::size_t total = 0;
  for (;;) {
    const ssize_t n = ::write(fd, chunk.data(), chunk.size());
    if (n <= 0) break;
    total += static_cast<std::size_t>(n);
  }
  return total;
}

TEST_F(PtyLinkTest, PeerThatStopsReadingMakesAttemptsIncompleteAndNothingIsLost) {
  // Someone left the line full before we write: the peer is not reading.
  const int filler = ::open(peer.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(filler, 0);
  OpenAs(3);
  const std::size_t backlog = FillLine(filler);
  ::close(filler);
  ASSERT_GT(backlog, 0u);

  auto block = Pattern(10, 0xA0);  // 210 ms per attempt
  auto writing =
      std::async(std::launch::async, [&] { return link.WriteComBlock(block.data(), 10); });
  std::this_thread::sleep_for(700ms);  // a few attempts time out with nothing sent
  const auto received = peer.Read(backlog + 10, 10s);
  EXPECT_FALSE(writing.get());
  ASSERT_EQ(received.size(), backlog + 10);
  EXPECT_EQ(std::vector<std::uint8_t>(received.end() - 10, received.end()), block)
      << "the block arrives once, whole, after the backlog";
  EXPECT_TRUE(shown.empty());
}

TEST_F(PtyLinkTest, PartialWriteIsASuccessWithFewerBytes) {
  // The backend alone: a time-out ends the call early and says how far it got.
  peer.LinkAs(configHome.PortsFolder(), 2);
  auto port = platform->Open("COM2");
  ASSERT_TRUE(port);
  ASSERT_TRUE(port->Configure(settings));
  port->SetTimeouts({0, 0, 0, 0, 100});
  auto big = Pattern(1 << 20);
  const WriteOutcome first = port->Write(big.data(), static_cast<std::uint32_t>(big.size()));
  EXPECT_TRUE(first.succeeded);
  ASSERT_LT(first.written, big.size());
  // The peer reads again; the rest goes out from where the first call stopped.
  auto reading = std::async(std::launch::async, [&] { return peer.Read(big.size(), 20s); });
  port->SetTimeouts({0, 0, 0, 0, 20000});
  const WriteOutcome rest = port->Write(big.data() + first.written,
                                        static_cast<std::uint32_t>(big.size() - first.written));
  EXPECT_TRUE(rest.succeeded);
  EXPECT_EQ(first.written + rest.written, big.size());
  EXPECT_EQ(reading.get(), big);
}

TEST_F(PtyLinkTest, PeerHangingUpTakesTheReopenRoad) {
  OpenAs(5);
  peer.HangUp();
  auto block = Pattern(517);
  const auto before = block;
  EXPECT_TRUE(link.WriteComBlock(block.data(), 517));
  // The device is gone, so opening it anew fails and says so.
  EXPECT_EQ(shown, std::vector<std::string>{"Nie mogę otworzyć portu COM5."});
  EXPECT_EQ(settings.portNumber, 255);
  EXPECT_FALSE(link.HasComHandle());
  EXPECT_EQ(block, before);
}

TEST_F(PtyLinkTest, DeviceThatReturnsIsReopenedAndTheWriteCompletes) {
  OpenAs(5);
  PtyPeer replacement;
  peer.HangUp();
  // The board comes back on another device before the write: the link
  // re-opens COM5 through its link and sends everything there.
  replacement.LinkAs(configHome.PortsFolder(), 5);
  auto block = Pattern(517);
  EXPECT_FALSE(link.WriteComBlock(block.data(), 517));
  EXPECT_EQ(replacement.Read(517), block);
  EXPECT_TRUE(shown.empty());
  EXPECT_EQ(settings.portNumber, 5);
}

}  // namespace
}  // namespace tablica
