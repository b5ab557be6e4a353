// The settings file in the states a real machine can leave it in: unreadable,
// not a file at all, huge, or full of binary data. Whatever it is, reading it
// ends quickly, shows nothing and leaves either the defaults or the port
// number the file's first 200 bytes give.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "serial/comm_settings.h"
#include "serial/serial_link.h"
#include "temp_folder.h"
#include "test_kit.h"

namespace tablica {
namespace {

namespace fs = std::filesystem;

bool HasDefaults(const CommSettings& s, std::uint8_t port = kNoPort) {
  return s.portNumber == port && s.baudRate == 38400 && s.byteSize == 8 && s.parity == 0 &&
         s.stopBits == 0 && s.xonXoff == 0 && s.rtsCts == 0;
}

class SettingsFileFaults : public ::testing::Test {
 protected:
  testing_support::TempFolder folder;
  fs::path file = folder.path() / "ustaw.txt";
  CommSettings settings;

  void Write(const std::string& bytes) { std::ofstream(file, std::ios::binary) << bytes; }
  CommSettings Load(const fs::path& path) {
    settings.portNumber = 9;  // an earlier choice that every load must replace
    LoadCommSettings(settings, path);
    return settings;
  }
};

// Loads the settings in a child process that runs as an ordinary user, so
// that file permissions apply even when the tests run as root (root reads a
// file of mode 000 all the same). The child's exit code is the port number.
int PortSeenByUnprivilegedChild(const fs::path& path) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(200);
    CommSettings s;
    s.portNumber = 9;
    LoadCommSettings(s, path);
    ::_exit(HasDefaults(s, s.portNumber) ? s.portNumber : 201);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(SettingsFileFaults, UnreadableFileGivesTheDefaults) {
  // The folder must be reachable for the unprivileged reader.
  fs::permissions(folder.path(), fs::perms::owner_all | fs::perms::others_exec);
  Write("PORT 7\r\n");
  fs::permissions(file, fs::perms::owner_read | fs::perms::others_read);
  ASSERT_EQ(PortSeenByUnprivilegedChild(file), 7) << "the same reader can read a readable file";
  fs::permissions(file, fs::perms::none);
  EXPECT_EQ(PortSeenByUnprivilegedChild(file), kNoPort);
}

TEST_F(SettingsFileFaults, NamesThatLeadNowhereGiveTheDefaults) {
  fs::create_directory(folder.path() / "dir");
  fs::create_directory_symlink(folder.path() / "dir", folder.path() / "dir-link");
  fs::create_symlink(folder.path() / "gone", folder.path() / "dangling");
  fs::create_symlink(folder.path() / "loop-b", folder.path() / "loop-a");
  fs::create_symlink(folder.path() / "loop-a", folder.path() / "loop-b");
  Write("PORT 7");
  for (const fs::path& path :
       {folder.path() / "dir", folder.path() / "dir-link", folder.path() / "dangling",
        folder.path() / "loop-a", file / "below-a-file"}) {
    EXPECT_TRUE(HasDefaults(Load(path))) << path;
  }
}

TEST_F(SettingsFileFaults, DevicesInPlaceOfTheFileAreNotRead) {
  // An endless device must not be read at all: /dev/zero would give zeros
  // for ever, /dev/urandom random "settings", a terminal would wait for input.
  for (const char* device : {"/dev/zero", "/dev/urandom", "/dev/null"}) {
    EXPECT_TRUE(HasDefaults(Load(device))) << device;
  }
  const fs::path link = folder.path() / "ustaw-link";
  fs::create_symlink("/dev/zero", link);
  EXPECT_TRUE(HasDefaults(Load(link)));
}

TEST_F(SettingsFileFaults, HugeFilesAreReadOnlyAsFarAsTheirFirst200Bytes) {
  // A sparse file of 8 GiB: reading it whole would take minutes and memory.
  Write("PORT 12\r\nMODEL\r\n");
  fs::resize_file(file, std::uintmax_t{8} << 30);
  EXPECT_TRUE(HasDefaults(Load(file), 12));

  // Its zero bytes start within the first 200: they end the text.
  Write("PORT");
  fs::resize_file(file, std::uintmax_t{1} << 30);
  EXPECT_TRUE(HasDefaults(Load(file)));

  // A number whose digits run past byte 200 is cut there.
  Write(std::string(190, '\n') + "PORT 12345" + std::string(1 << 20, '7'));
  EXPECT_TRUE(HasDefaults(Load(file), 12345 % 256));
}

TEST_F(SettingsFileFaults, BinaryDataNeverReachesPastTheNumber) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> byte(0, 255);
  auto noise = [&](std::size_t size) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(byte(random));
    return bytes;
  };
  for (int round = 0; round < 50; ++round) {
    // Binary garbage after the number changes nothing.
    Write("PORT 33\r\n" + noise(4096));
    EXPECT_TRUE(HasDefaults(Load(file), 33));
    // Binary garbage in front of it: exactly what the scanner makes of the
    // first 200 bytes, however odd, and nothing else.
    const std::string bytes = noise(static_cast<std::size_t>(byte(random)) * 2);
    Write(bytes);
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const auto scanned = ScanPortNumber(std::span(data, bytes.size()));
    EXPECT_TRUE(HasDefaults(Load(file), scanned.value_or(kNoPort)));
  }
}

TEST_F(SettingsFileFaults, AFaultyFileLeavesNoPortAndTheSendSaysSo) {
  // What the user meets after start-up with a broken settings file: no port
  // is opened, and a Send says that no port is chosen, without writing.
  fs::create_directory(file);
  LoadCommSettings(settings, file);
  ASSERT_EQ(settings.portNumber, kNoPort);
  struct NoPorts : SerialPlatform {
    std::unique_ptr<PortDevice> Open(const std::string&) override { return nullptr; }
    void Sleep(std::uint32_t) override {}
    std::chrono::steady_clock::time_point Now() override { return {}; }
  } platform;
  std::vector<std::string> shown;
  SerialLink link(settings, platform, [&](const std::string& text) { shown.push_back(text); });
  testing::WireBytes block = testing::FrameBytes(testing::WireBytes(testing::kDotBytes, 0));
  const testing::WireBytes before = block;
  EXPECT_TRUE(link.WriteComBlock(block.data(), 517));
  EXPECT_EQ(shown, std::vector<std::string>{"Nie wybrano portu komunikacyjnego."});
  EXPECT_EQ(block, before);
}

}  // namespace
}  // namespace tablica
