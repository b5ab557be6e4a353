// The settings file as the Windows C runtime reads it. A file opened in text
// mode there turns CR LF into LF and ends at the first Ctrl+Z byte (0x1A);
// the reader must see the bytes as they are stored.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

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

  std::uint8_t PortFrom(const std::string& bytes) {
    CommSettings settings;
    LoadCommSettings(settings, Write(bytes));
    return settings.portNumber;
  }

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

}  // namespace
}  // namespace tablica
