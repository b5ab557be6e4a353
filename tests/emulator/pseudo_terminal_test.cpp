// The virtual board's line against real pseudo-terminals: a writer opens the
// slave side the way the program opens a serial port.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "common/stop_signals.h"
#include "emulator/line_reader.h"
#include "emulator/port_link.h"
#include "emulator/pseudo_terminal.h"
#include "test_kit.h"

namespace emulator {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes MakeFrame(std::uint8_t fill) {
  return tablica::testing::FrameBytes(Bytes(kDotBytes, fill));
}

// Opens the port as the program does: lock, then exclusive use.
UniqueFd OpenAsProgram(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (fd) {
    EXPECT_EQ(::flock(fd.get(), LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(::ioctl(fd.get(), TIOCEXCL), 0);
  }
  return fd;
}

void WriteAll(int fd, const Bytes& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    ASSERT_GT(n, 0);
    done += static_cast<std::size_t>(n);
  }
}

// Runs a LineReader on a thread and collects its units.
class ReaderHarness {
 public:
  explicit ReaderHarness(PseudoTerminal& terminal, ReaderOptions options = {})
      : reader_(terminal, options,
                [this](const Unit& u, Moment completed) {
                  std::lock_guard lock(mutex_);
                  units_.push_back(u);
                  moments_.push_back(completed);
                  changed_.notify_all();
                }),
        thread_([this] { reader_.Run(stop_.Fd()); }) {}
  ~ReaderHarness() { Stop(); }

  void Stop() {
    if (thread_.joinable()) {
      stop_.Request();
      thread_.join();
    }
  }

  // Waits (bounded, so a fault fails instead of hanging) for `count` units.
  std::vector<Unit> WaitFor(std::size_t count) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(10), [&] { return units_.size() >= count; });
    return units_;
  }

  std::vector<Moment> Moments() {
    std::lock_guard lock(mutex_);
    return moments_;
  }

 private:
  tablica::StopSignals stop_;
  LineReader reader_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Unit> units_;
  std::vector<Moment> moments_;
  std::thread thread_;
};

TEST(PseudoTerminalTest, FramesArriveIntactAcrossAWriterThatClosesAndReopens) {
  std::string error;
  auto terminal = PseudoTerminal::Open(error);
  ASSERT_TRUE(terminal) << error;
  ReaderHarness harness(*terminal);

  const Bytes first = MakeFrame(0x0A);  // newline bytes must pass untranslated
  const Bytes second = MakeFrame(0x0D);
  {
    UniqueFd writer = OpenAsProgram(terminal->SlavePath());
    ASSERT_TRUE(writer);
    WriteAll(writer.get(), Bytes(first.begin(), first.begin() + 100));
  }
  {
    // Re-opened mid-frame, as the link does after a denied write.
    UniqueFd writer = OpenAsProgram(terminal->SlavePath());
    ASSERT_TRUE(writer);
    WriteAll(writer.get(), Bytes(first.begin() + 100, first.end()));
    WriteAll(writer.get(), second);
  }
  const auto units = harness.WaitFor(2);
  ASSERT_EQ(units.size(), 2u);
  EXPECT_EQ(units[0], (Unit{UnitKind::Frame, first, true}));
  EXPECT_EQ(units[1], (Unit{UnitKind::Frame, second, true}));
}

TEST(PseudoTerminalTest, UnitsCarryTheMomentThePacedLineCompletedThem) {
  std::string error;
  auto terminal = PseudoTerminal::Open(error);
  ASSERT_TRUE(terminal) << error;
  ReaderHarness harness(*terminal, ReaderOptions{.baud = 38400});
  UniqueFd writer = OpenAsProgram(terminal->SlavePath());
  ASSERT_TRUE(writer);

  const auto before = std::chrono::steady_clock::now();
  Bytes three;
  for (std::uint8_t fill : {0x11, 0x22, 0x33}) {
    const Bytes frame = MakeFrame(fill);
    three.insert(three.end(), frame.begin(), frame.end());
  }
  WriteAll(writer.get(), three);  // all at once: the line sets the pace
  ASSERT_EQ(harness.WaitFor(3).size(), 3u);
  const auto after = std::chrono::steady_clock::now();

  // Each frame is complete a frame's line time (134.6 ms) after the one
  // before, less at most one read's worth (19 bytes, 5 ms); a busy machine
  // can only make the gaps longer.
  const std::vector<Moment> moments = harness.Moments();
  ASSERT_EQ(moments.size(), 3u);
  EXPECT_GE(moments[0], before + LineTime(kFrameBytes - 19, 38400));
  for (std::size_t i = 1; i < moments.size(); ++i) {
    EXPECT_GE(moments[i] - moments[i - 1], LineTime(kFrameBytes - 19, 38400)) << "frame " << i;
  }
  EXPECT_LE(moments[2], after);
}

TEST(PseudoTerminalTest, ExclusiveUseLeftByAClosedWriterIsReleased) {
  std::string error;
  auto terminal = PseudoTerminal::Open(error);
  ASSERT_TRUE(terminal) << error;

  UniqueFd writer = OpenAsProgram(terminal->SlavePath());
  ASSERT_TRUE(writer);
  // While the writer holds the port, its exclusive use stands.
  EXPECT_FALSE(terminal->ReleaseAbandonedExclusiveUse());
  int exclusive = 0;
  ASSERT_EQ(::ioctl(writer.get(), TIOCGEXCL, &exclusive), 0);
  EXPECT_NE(exclusive, 0);

  writer = UniqueFd();
  EXPECT_TRUE(terminal->ReleaseAbandonedExclusiveUse());
  UniqueFd again(::open(terminal->SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
  ASSERT_TRUE(again);
  ASSERT_EQ(::ioctl(again.get(), TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0);
}

TEST(PseudoTerminalTest, BytesWrittenJustBeforeStopAreStillReported) {
  std::string error;
  auto terminal = PseudoTerminal::Open(error);
  ASSERT_TRUE(terminal) << error;
  // Paced to a crawl, so the reader is far behind when it is stopped.
  ReaderHarness harness(*terminal, ReaderOptions{.baud = 50});
  const Bytes frame = MakeFrame(0x55);
  UniqueFd writer = OpenAsProgram(terminal->SlavePath());
  WriteAll(writer.get(), frame);
  harness.Stop();
  const auto units = harness.WaitFor(1);
  ASSERT_EQ(units.size(), 1u);
  EXPECT_EQ(units[0], (Unit{UnitKind::Frame, frame, true}));
}

TEST(LineReaderTest, PacingReadsAboutFiveMillisecondsOfLineAtATime) {
  EXPECT_EQ(ReadChunk(0), 4096u);
  EXPECT_EQ(ReadChunk(38400), 19u);
  EXPECT_EQ(ReadChunk(300), 1u);
  EXPECT_EQ(LineTime(517, 38400), std::chrono::nanoseconds(134635416));
  EXPECT_EQ(LineTime(1, 0), std::chrono::nanoseconds(0));
}

class PortLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("emulator-links-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  fs::path folder_;
};

TEST_F(PortLinkTest, LinkNamesTheDeviceWhileItLivesAndGoesAway) {
  std::string error;
  {
    auto link = PortLink::Create(folder_, 7, "/dev/null", error);
    ASSERT_TRUE(link) << error;
    EXPECT_EQ(link->Path(), folder_ / "com7");
    EXPECT_EQ(fs::read_symlink(folder_ / "com7"), "/dev/null");
  }
  EXPECT_FALSE(fs::exists(fs::symlink_status(folder_ / "com7")));
}

TEST_F(PortLinkTest, StaleLinkIsReplacedLiveLinkIsLeftAlone) {
  fs::create_directories(folder_);
  fs::create_symlink("/dev/pts/does-not-exist", folder_ / "com3");
  std::string error;
  auto replaced = PortLink::Create(folder_, 3, "/dev/null", error);
  ASSERT_TRUE(replaced) << error;
  EXPECT_EQ(fs::read_symlink(folder_ / "com3"), "/dev/null");

  auto second = PortLink::Create(folder_, 3, "/dev/zero", error);
  EXPECT_FALSE(second);
  EXPECT_NE(error.find("COM3"), std::string::npos);
  EXPECT_EQ(fs::read_symlink(folder_ / "com3"), "/dev/null");
}

TEST_F(PortLinkTest, ALinkTakenOverBySomeoneElseIsNotRemoved) {
  std::string error;
  {
    auto link = PortLink::Create(folder_, 5, "/dev/null", error);
    ASSERT_TRUE(link) << error;
    fs::remove(folder_ / "com5");
    fs::create_symlink("/dev/zero", folder_ / "com5");
  }
  EXPECT_EQ(fs::read_symlink(folder_ / "com5"), "/dev/zero");
}

TEST_F(PortLinkTest, FolderFollowsXdgConfigHomeThenHome) {
  const char* savedXdg = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = savedXdg ? savedXdg : "";
  ::setenv("XDG_CONFIG_HOME", "/tmp/xdg-here", 1);
  EXPECT_EQ(PortLinksFolder(), fs::path("/tmp/xdg-here/zapis-bitmapy/ports"));
  ::setenv("XDG_CONFIG_HOME", "", 1);
  const char* home = std::getenv("HOME");
  if (home) {
    EXPECT_EQ(PortLinksFolder(), fs::path(home) / ".config/zapis-bitmapy/ports");
  }
  if (savedXdg) {
    ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  } else {
    ::unsetenv("XDG_CONFIG_HOME");
  }
}

}  // namespace
}  // namespace emulator
