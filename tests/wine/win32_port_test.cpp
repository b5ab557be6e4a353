// The Win32 backend and the serial link over real kernel32 calls, run under
// Wine with the COM ports linked to pseudo-terminals by com_peer:
// COM5, COM6, COM8 and COM12 have a peer that records what arrives; COM7 is
// linked to a device that does not exist. Where Wine differs from Windows
// the test checks what Wine does and says what Windows does instead.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "com_peer_files.h"
#include "serial/comm_settings.h"
#include "serial/serial_link.h"
#include "serial/serial_platform.h"
#include "test_kit.h"

namespace tablica {
namespace {

constexpr std::uint8_t kCom5 = 5;
constexpr std::uint8_t kCom6 = 6;
constexpr std::uint8_t kMissingCom7 = 7;
constexpr std::uint8_t kCom8 = 8;
constexpr std::uint8_t kCom12 = 12;

// Every byte value, the line's control characters (XON 0x11, XOFF 0x13,
// CR, LF, NUL) included, so that any translation on the way shows.
std::vector<std::uint8_t> Block(std::size_t size, std::uint8_t seed) {
  std::vector<std::uint8_t> block(size);
  for (std::size_t i = 0; i < size; ++i) block[i] = static_cast<std::uint8_t>(seed + i * 7);
  return block;
}

// A board frame announcing a second board, and that board's block, from the
// test kit; their dots hold every byte value too.
std::vector<std::uint8_t> Frame() {
  return tablica::testing::FrameBytes(tablica::testing::PatternDots(0xAA),
                                      tablica::testing::kHeaderWithBlock);
}

// A link on its own settings record, with the messages it shows recorded.
struct LinkUnderTest {
  explicit LinkUnderTest(std::uint8_t port) {
    settings.portNumber = port;
    platform = MakeNativeSerialPlatform();
    link = std::make_unique<SerialLink>(
        settings, *platform, [this](const std::string& text) { messages.push_back(text); });
  }
  CommSettings settings;
  std::unique_ptr<SerialPlatform> platform;
  std::vector<std::string> messages;
  std::unique_ptr<SerialLink> link;
};

// A handle of our own, to ask the port what the backend left in it.
struct RawPort {
  explicit RawPort(const char* name)
      : handle(CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr)) {}
  ~RawPort() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
  RawPort(const RawPort&) = delete;
  RawPort& operator=(const RawPort&) = delete;
  HANDLE handle;
};

TEST(Win32Open, PortsUpToNineOpenByTheirPlainName) {
  auto platform = MakeNativeSerialPlatform();
  EXPECT_NE(platform->Open("COM5"), nullptr);
  EXPECT_NE(platform->Open("COM6"), nullptr);
}

TEST(Win32Open, PortsFromTenOpenOnlyThroughTheDeviceNamespace) {
  auto platform = MakeNativeSerialPlatform();
  EXPECT_NE(platform->Open("\\\\.\\COM12"), nullptr);
  // Without the prefix the name is a file in the working folder.
  EXPECT_EQ(platform->Open("COM12"), nullptr);
}

TEST(Win32Open, LinkOpensCom5AndCom12Silently) {
  for (const std::uint8_t port : {kCom5, kCom12}) {
    LinkUnderTest t(port);
    EXPECT_FALSE(t.link->OpenComPort()) << "COM" << int{port};
    EXPECT_TRUE(t.link->HasComHandle());
    EXPECT_EQ(t.settings.portNumber, port);
    EXPECT_TRUE(t.messages.empty());
  }
}

TEST(Win32Open, PortWithNoDeviceFailsWithTheOpenMessage) {
  LinkUnderTest t(kMissingCom7);
  EXPECT_TRUE(t.link->OpenComPort());
  EXPECT_EQ(t.messages, std::vector<std::string>{"Nie mogę otworzyć portu COM7."});
  EXPECT_EQ(t.settings.portNumber, kNoPort);
  EXPECT_FALSE(t.link->HasComHandle());
}

TEST(Win32Open, SecondOpenOfAnOpenPort) {
  auto platform = MakeNativeSerialPlatform();
  auto first = platform->Open("COM5");
  ASSERT_NE(first, nullptr);
  // Windows refuses a second CreateFileA of a port opened with share mode 0
  // (ERROR_ACCESS_DENIED). Wine does not enforce the share mode on a
  // serial device: the second open succeeds. The link's own "port in use"
  // road is covered by the unit tests against the fake.
  EXPECT_NE(platform->Open("COM5"), nullptr);
}

TEST(Win32Open, OpenedPortReportsAClearLine) {
  auto platform = MakeNativeSerialPlatform();
  for (int open = 0; open < 3; ++open) {
    auto port = platform->Open("COM5");
    ASSERT_NE(port, nullptr);
    ASSERT_TRUE(port->Configure(CommSettings{}));
    const LineState state = port->ClearErrors();
    EXPECT_TRUE(state.queried) << "open " << open;
    EXPECT_EQ(state.errorMask, 0u) << "open " << open;
    EXPECT_FALSE(state.ctsHold || state.dsrHold || state.rlsdHold || state.xoffHold);
  }
}

TEST(Win32Configure, OpenLeavesTheBoardLineOnThePort) {
  // com_peer starts the line at 9600 baud, 7 data bits, even parity and two
  // stop bits, so every value read back here was set by the open.
  {
    LinkUnderTest t(kCom5);
    ASSERT_FALSE(t.link->OpenComPort());
  }
  RawPort port("COM5");
  ASSERT_NE(port.handle, INVALID_HANDLE_VALUE);
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  ASSERT_NE(GetCommState(port.handle, &dcb), 0);
  EXPECT_EQ(dcb.BaudRate, 38400u);  // not the 9600 of the definition string
  EXPECT_EQ(dcb.ByteSize, 8u);
  EXPECT_EQ(dcb.Parity, NOPARITY);
  EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
  EXPECT_EQ(dcb.fBinary, 1u);
  EXPECT_EQ(dcb.fParity, 0u);
  EXPECT_EQ(dcb.fOutX, 0u);
  EXPECT_EQ(dcb.fInX, 0u);
  EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
  EXPECT_EQ(dcb.fOutxDsrFlow, 0u);
  // Windows reads back DTR and RTS off (DTR_CONTROL_DISABLE,
  // RTS_CONTROL_DISABLE) and the limits 200 and 800 that were set. Wine
  // cannot query a pseudo-terminal's modem lines and reports both lines as
  // enabled, and it keeps no XON/XOFF limits: it reports 10 for each.
  EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
  EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
  EXPECT_EQ(dcb.XonLim, 10u);
  EXPECT_EQ(dcb.XoffLim, 10u);
}

TEST(Win32Configure, DriverRefusingTheParametersFailsWithTheSettingsMessage) {
  LinkUnderTest t(kCom5);
  t.settings.byteSize = 3;
  EXPECT_TRUE(t.link->OpenComPort());
  EXPECT_EQ(t.messages,
            std::vector<std::string>{"Nie mogę otworzyć portu COM5 z takimi ustawieniami."});
  EXPECT_EQ(t.settings.portNumber, kNoPort);
  EXPECT_FALSE(t.link->HasComHandle());
}

TEST(Win32Write, BoardFrameAndSecondBoardBlockArriveIntact) {
  const wine::ComPeerFiles peer;
  for (const std::uint8_t port : {kCom5, kCom12}) {
    const std::size_t before = peer.Arrived(port).size();
    LinkUnderTest t(port);
    ASSERT_FALSE(t.link->OpenComPort());
    std::vector<std::uint8_t> frame = Frame();
    std::vector<std::uint8_t> second =
        tablica::testing::BlockBytes(tablica::testing::PatternDots(0x13));
    const std::vector<std::uint8_t> frameSent = frame;
    const std::vector<std::uint8_t> secondSent = second;
    EXPECT_FALSE(t.link->WriteComBlock(frame.data(), 517));
    EXPECT_FALSE(t.link->WriteComBlock(second.data(), 513));
    EXPECT_TRUE(t.messages.empty());
    EXPECT_EQ(frame, frameSent);  // a successful write leaves the block alone
    EXPECT_EQ(second, secondSent);

    std::vector<std::uint8_t> expected = frameSent;
    expected.insert(expected.end(), secondSent.begin(), secondSent.end());
    const std::vector<std::uint8_t> all = peer.WaitForArrived(port, before + expected.size());
    ASSERT_EQ(all.size(), before + expected.size()) << "COM" << int{port};
    EXPECT_EQ(std::vector<std::uint8_t>(all.begin() + before, all.end()), expected)
        << "COM" << int{port};
  }
}

TEST(Win32Write, DrainEndsWithAnEmptyQueueAndLeavesTheLineStateToTheLink) {
  const wine::ComPeerFiles peer;
  const std::size_t before = peer.Arrived(kCom5).size();
  auto port = MakeNativeSerialPlatform()->Open("COM5");
  ASSERT_NE(port, nullptr);
  ASSERT_TRUE(port->Configure(CommSettings{}));
  const std::vector<std::uint8_t> frame = Block(517, 0x42);
  port->SetTimeouts(WriteAttemptTimeouts(517, 38400));
  ASSERT_EQ(port->Write(frame.data(), 517).written, 517u);
  // Wine counts the output queue with the pseudo-terminal's TIOCOUTQ, which
  // is always 0 (Windows' own driver counts the bytes it has yet to send),
  // so the drain finds the queue empty at its first look.
  const DWORD start = GetTickCount();
  EXPECT_TRUE(port->Drain(std::chrono::seconds(2)));
  EXPECT_LT(GetTickCount() - start, 1000u);
  const LineState state = port->ClearErrors();
  EXPECT_TRUE(state.queried);
  EXPECT_EQ(state.errorMask, 0u);
  const std::vector<std::uint8_t> all = peer.WaitForArrived(kCom5, before + 517);
  ASSERT_EQ(all.size(), before + 517);
  EXPECT_TRUE(std::equal(all.begin() + before, all.end(), frame.begin()));
}

TEST(Win32Write, TimeOutEndsAWriteEarlyWithTheBytesThatWentOut) {
  const wine::ComPeerFiles peer;
  const std::size_t before = peer.Arrived(kCom5).size();
  auto port = MakeNativeSerialPlatform()->Open("COM5");
  ASSERT_NE(port, nullptr);
  ASSERT_TRUE(port->Configure(CommSettings{}));
  // More than the terminal's buffers hold, so that with the peer not
  // reading the first write stalls and its time-out ends it.
  const std::vector<std::uint8_t> block = Block(256 * 1024, 0x01);
  const auto size = static_cast<std::uint32_t>(block.size());
  ASSERT_TRUE(peer.Pause(kCom5));
  port->SetTimeouts({.readTotalTimeoutConstant = 100, .writeTotalTimeoutConstant = 300});
  const WriteOutcome first = port->Write(block.data(), size);
  ASSERT_TRUE(peer.Resume(kCom5));
  // As on Windows: the call succeeds, with fewer bytes than asked for.
  EXPECT_TRUE(first.succeeded);
  EXPECT_GT(first.written, 0u);
  ASSERT_LT(first.written, size);

  port->SetTimeouts(WriteAttemptTimeouts(size - first.written, 38400));
  const WriteOutcome rest = port->Write(block.data() + first.written, size - first.written);
  EXPECT_TRUE(rest.succeeded);
  EXPECT_EQ(rest.written, size - first.written);
  const std::vector<std::uint8_t> all = peer.WaitForArrived(kCom5, before + size);
  ASSERT_EQ(all.size(), before + size);
  EXPECT_TRUE(std::equal(all.begin() + before, all.end(), block.begin()));
}

TEST(Win32Write, WriteToAPortWhosePeerWentAwayFails) {
  const wine::ComPeerFiles peer;
  auto port = MakeNativeSerialPlatform()->Open("COM8");
  ASSERT_NE(port, nullptr);
  ASSERT_TRUE(port->Configure(CommSettings{}));
  ASSERT_TRUE(peer.HangUp(kCom8));
  std::vector<std::uint8_t> frame = Frame();
  port->SetTimeouts(WriteAttemptTimeouts(517, 38400));
  const WriteOutcome outcome = port->Write(frame.data(), 517);
  EXPECT_FALSE(outcome.succeeded);
  EXPECT_EQ(outcome.written, 0u);
  // A Windows driver whose device is gone fails WriteFile with
  // ERROR_ACCESS_DENIED (and the link re-opens the port). Wine turns the
  // pseudo-terminal's EIO into ERROR_NOT_READY, which is not access denied.
  EXPECT_EQ(outcome.nativeError, ERROR_NOT_READY);
  EXPECT_EQ(outcome.failure, WriteFailure::Other);
  // ...and ClearCommError then fails as well, which the link reads as a
  // line error.
  EXPECT_FALSE(port->ClearErrors().queried);
  // A drain cannot ask the port either: it says so at once, never waits.
  EXPECT_FALSE(port->Drain(std::chrono::seconds(5)));
  // The port itself is gone: it cannot be opened again.
  EXPECT_EQ(MakeNativeSerialPlatform()->Open("COM8"), nullptr);
}

TEST(Win32Write, LinkWritingAfterThePeerWentAwayEndsWithTheTransmissionError) {
  const wine::ComPeerFiles peer;
  LinkUnderTest t(kCom6);
  ASSERT_FALSE(t.link->OpenComPort());
  ASSERT_TRUE(peer.HangUp(kCom6));
  std::vector<std::uint8_t> frame = Frame();
  const std::vector<std::uint8_t> sent = frame;
  // Under Wine the failed write is not access denied (see above), so the
  // link takes its line-error road rather than the re-open road.
  EXPECT_TRUE(t.link->WriteComBlock(frame.data(), 517));
  EXPECT_EQ(t.messages, std::vector<std::string>{"Wystąpił błąd transmisji."});
  EXPECT_EQ(frame[0], 0u);
  EXPECT_TRUE(std::equal(frame.begin() + 1, frame.end(), sent.begin() + 1));
  EXPECT_EQ(t.settings.portNumber, kNoPort);
  EXPECT_FALSE(t.link->HasComHandle());
  // A second write of the same Send fails at once.
  EXPECT_TRUE(t.link->WriteComBlock(frame.data(), 513));
  EXPECT_EQ(t.messages.back(), "Nie wybrano portu komunikacyjnego.");
  EXPECT_TRUE(peer.Arrived(kCom6).empty());
}

}  // namespace
}  // namespace tablica
