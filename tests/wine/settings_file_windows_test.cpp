// The settings file on Windows. A file opened in text mode there turns CR LF
// into LF and ends at the first Ctrl+Z byte (0x1A); the reader must see the
// bytes as they are stored. It is opened for exclusive reading: while any
// other handle has it open, it counts as missing.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "serial/comm_settings.h"

namespace tablica {
namespace {

class WindowsSettingsFile : public ::testing::Test {
 protected:
  WindowsSettingsFile() {
    folder_ = std::filesystem::temp_directory_path() /
              ("tablica-settings-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(folder_);
  }
  ~WindowsSettingsFile() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  std::filesystem::path Write(const std::string& bytes) {
    const auto file = folder_ / kSettingsFileName;
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
    return file;
  }

  std::uint8_t PortFrom(const std::string& bytes) { return PortIn(Write(bytes)); }

  static std::uint8_t PortIn(const std::filesystem::path& file) {
    CommSettings settings;
    LoadCommSettings(settings, file);
    return settings.portNumber;
  }

  const std::filesystem::path& Folder() const { return folder_; }

 private:
  std::filesystem::path folder_;
};

TEST_F(WindowsSettingsFile, CrLfLineEndsAreWhitespace) {
  EXPECT_EQ(PortFrom("PORT\r\n12\r\nMODEL\r\n"), 12);
  EXPECT_EQ(PortFrom("PORT 3\r\n"), 3);
}

TEST_F(WindowsSettingsFile, CtrlZIsAnOrdinaryByteNotTheEndOfTheFile) {
  // The label word may hold any bytes; a text-mode read would stop at 0x1A
  // and find no number.
  EXPECT_EQ(PortFrom("PORT\x1A 9\r\n"), 9);
  EXPECT_EQ(PortFrom("\x1A\x1A 14"), 14);
}

TEST_F(WindowsSettingsFile, WorkingFolderFileIsFoundByItsPlainName) {
  const auto file = Write("PORT 64\r\n");
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(file.parent_path());
  CommSettings settings;
  LoadCommSettings(settings);  // "ustaw.txt" in the working folder
  std::filesystem::current_path(previous);
  EXPECT_EQ(settings.portNumber, 64);
}

// Another program's handle on the file, open while the object lives.
class HeldOpen {
 public:
  HeldOpen(const std::filesystem::path& file, DWORD access, DWORD share)
      : handle_(CreateFileA(file.string().c_str(), access, share, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~HeldOpen() {
    if (IsOpen()) CloseHandle(handle_);
  }
  HeldOpen(const HeldOpen&) = delete;
  HeldOpen& operator=(const HeldOpen&) = delete;
  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

TEST_F(WindowsSettingsFile, FileHeldOpenByAnotherProgramCountsAsMissing) {
  const auto file = Write("PORT 3\r\n");
  // However generous the other program's share mode, the settings file asks
  // for no sharing at all, so its open fails.
  const std::pair<DWORD, DWORD> holders[] = {
      {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE},
      {GENERIC_READ, FILE_SHARE_READ},
      {GENERIC_READ, 0},
      {GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE},
      {GENERIC_READ | GENERIC_WRITE, 0},
  };
  for (const auto& [access, share] : holders) {
    SCOPED_TRACE(testing::Message() << "access " << std::hex << access << ", share " << share);
    const HeldOpen other(file, access, share);
    ASSERT_TRUE(other.IsOpen());
    EXPECT_EQ(PortIn(file), kNoPort);
  }
  // Once the other program has let go, the file reads again.
  EXPECT_EQ(PortIn(file), 3);
}

TEST_F(WindowsSettingsFile, ReadingLeavesTheFileFreeForOthers) {
  const auto file = Write("PORT 8");
  EXPECT_EQ(PortIn(file), 8);
  // The reader's own handle is closed: an exclusive open succeeds.
  const HeldOpen after(file, GENERIC_READ | GENERIC_WRITE, 0);
  EXPECT_TRUE(after.IsOpen());
}

TEST_F(WindowsSettingsFile, WhatIsNotAFileWithTheNumberGivesNoPort) {
  const auto folder = Folder() / "ustaw-folder.txt";
  std::filesystem::create_directories(folder);
  EXPECT_EQ(PortIn(folder), kNoPort);                              // a folder
  EXPECT_EQ(PortIn(Folder() / "nie-ma.txt"), kNoPort);             // nothing there
  EXPECT_EQ(PortIn("NUL"), kNoPort);                               // a device
  EXPECT_EQ(PortFrom(std::string(300, ' ') + "PORT 5"), kNoPort);  // past byte 200
  EXPECT_EQ(PortFrom(std::string(190, ' ') + "PORT 5"), 5);
}

}  // namespace
}  // namespace tablica
