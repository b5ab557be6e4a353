#include <sys/stat.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "serial/comm_settings.h"
#include "temp_folder.h"

namespace tablica {
namespace {

// What the settings text gives as the port number (255 when it gives none).
int PortFrom(const std::string& text) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  return ScanPortNumber(std::span(bytes, text.size())).value_or(kNoPort);
}

TEST(SettingsScan, PlainLayoutAndWhitespaceVariants) {
  const std::string rest = "\r\nMODEL\r\na\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\n";
  EXPECT_EQ(PortFrom("PORT 5" + rest), 5);
  EXPECT_EQ(PortFrom("PORT\r\n5\r\nMODEL\r\n"), 5);  // word and number on separate lines
  EXPECT_EQ(PortFrom("PORT 5\nMODEL\na\n"), 5);      // line feeds alone
  EXPECT_EQ(PortFrom("\r\n\r\n \t PORT \t  5"), 5);  // leading blank lines, tabs
  EXPECT_EQ(PortFrom("PORT 5"), 5);                  // no line end at all
}

TEST(SettingsScan, NoNumberLeavesNoPort) {
  EXPECT_EQ(PortFrom(""), 255);
  EXPECT_EQ(PortFrom(" \t\r\n\v\f"), 255);
  EXPECT_EQ(PortFrom("PORT"), 255);
  EXPECT_EQ(PortFrom("PORT X"), 255);
  EXPECT_EQ(PortFrom("PORT -"), 255);
  EXPECT_EQ(PortFrom("PORT 0x10"), 0);  // decimal only: the x ends the number
  // Word and number glued into one word of at most ten characters: the
  // number is looked for in the next word.
  EXPECT_EQ(PortFrom("PORT5 MODEL"), 255);
  EXPECT_EQ(PortFrom("PORT5 12abc"), 12);
  // A file that begins with the number: the number is the label word.
  EXPECT_EQ(PortFrom("7 MODEL"), 255);
  EXPECT_EQ(PortFrom("7 9"), 9);
}

TEST(SettingsScan, NumberIsTakenModulo256) {
  EXPECT_EQ(PortFrom("PORT 0"), 0);
  EXPECT_EQ(PortFrom("PORT +7"), 7);
  EXPECT_EQ(PortFrom("PORT 255"), 255);
  EXPECT_EQ(PortFrom("PORT -1"), 255);
  EXPECT_EQ(PortFrom("PORT -2"), 254);
  EXPECT_EQ(PortFrom("PORT 256"), 0);
  EXPECT_EQ(PortFrom("PORT 300"), 44);
  EXPECT_EQ(PortFrom("PORT 511"), 255);
  EXPECT_EQ(PortFrom("PORT 65"), 65);
  EXPECT_EQ(PortFrom("PORT 200"), 200);
  EXPECT_EQ(PortFrom("PORT 7abc"), 7);
  // 19 digits: 1234567890123456789 mod 256 = 21.
  EXPECT_EQ(PortFrom("PORT 1234567890123456789"), 1234567890123456789ULL % 256);
  // Longer numbers keep the same rule: 10^20 + 5 mod 256 = 5 (10^20 is a
  // multiple of 256).
  EXPECT_EQ(PortFrom("PORT 100000000000000000005"), 5);
  EXPECT_EQ(PortFrom("PORT -100000000000000000005"), 251);
}

TEST(SettingsScan, LabelWordIsAtMostTenCharacters) {
  EXPECT_EQ(PortFrom("ABCDEFGHIJ12 9"), 12);
  EXPECT_EQ(PortFrom("ABCDEFGHIJ 9"), 9);
  EXPECT_EQ(PortFrom("\xB3\xF3\xBF\xEA\xB1 4"), 4);  // Windows-1250 letters are ordinary characters
}

TEST(SettingsScan, TextEndsAtZeroByteAndAfter200Bytes) {
  EXPECT_EQ(PortFrom(std::string("PORT\0 5", 7)), 255);
  EXPECT_EQ(PortFrom(std::string("P\0O\0R\0T\0 \0"
                                 "5\0",
                                 12)),
            255);  // a 16-bit encoding
  std::string padded(196, ' ');
  EXPECT_EQ(PortFrom(padded + "P 12345"), 12);  // cut after byte 200: "P 12"
  EXPECT_EQ(PortFrom(std::string(200, ' ') + "PORT 5"), 255);
  EXPECT_EQ(PortFrom(std::string(194, ' ') + "PORT 12"), 1);
}

class SettingsFile : public ::testing::Test {
 protected:
  testing_support::TempFolder folder;
  std::filesystem::path file = folder.path() / "ustaw.txt";
  void Write(const std::string& text) { std::ofstream(file, std::ios::binary) << text; }
};

TEST_F(SettingsFile, MissingFileGivesEveryDefault) {
  CommSettings settings;
  settings.portNumber = 3;
  settings.baudRate = 1;
  settings.byteSize = settings.parity = settings.stopBits = 9;
  settings.xonXoff = settings.rtsCts = 1;
  LoadCommSettings(settings, file);
  EXPECT_EQ(settings.portNumber, 255);
  EXPECT_EQ(settings.baudRate, 38400u);
  EXPECT_EQ(settings.byteSize, 8);
  EXPECT_EQ(settings.parity, 0);
  EXPECT_EQ(settings.stopBits, 0);
  EXPECT_EQ(settings.xonXoff, 0);
  EXPECT_EQ(settings.rtsCts, 0);
  EXPECT_FALSE(std::filesystem::exists(file)) << "the settings file must never be created";
}

TEST_F(SettingsFile, PortComesFromTheFileAndReplacesAnEarlierChoice) {
  Write("PORT 7\r\nMODEL\r\n");
  CommSettings settings;
  settings.portNumber = 12;
  LoadCommSettings(settings, file);
  EXPECT_EQ(settings.portNumber, 7);
  EXPECT_EQ(settings.baudRate, 38400u);
}

TEST_F(SettingsFile, OddFilesLeaveTheDefaults) {
  CommSettings settings;
  LoadCommSettings(settings, folder.path());  // a directory
  EXPECT_EQ(settings.portNumber, 255);
  // A FIFO with no writer would block a plain open for ever.
  const auto fifo = folder.path() / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  LoadCommSettings(settings, fifo);
  EXPECT_EQ(settings.portNumber, 255);
  Write(std::string("\xFF\xFE\x00\x01PORT 5", 10));  // binary data
  LoadCommSettings(settings, file);
  EXPECT_EQ(settings.portNumber, 255);
  Write(std::string(4096, 'x') + " 5");  // long file: only 200 bytes are read
  LoadCommSettings(settings, file);
  EXPECT_EQ(settings.portNumber, 255);
}

// --port on a command line: 1..254 only (255 is "no port"), digits only.
TEST(PortArgument, OnlyAPortThatCanBeOpenedIsTaken) {
  EXPECT_EQ(ReadPortArgument("1").port, 1);
  EXPECT_EQ(ReadPortArgument("254").port, 254);
  for (const char* wrong : {"0", "255", "300", "-1", "+7", " 7", "7x", "COM7", ""}) {
    const PortArgument read = ReadPortArgument(wrong);
    EXPECT_FALSE(read.port) << wrong;
    EXPECT_EQ(read.error,
              "Numer portu musi być liczbą z zakresu 1..254: " + std::string(wrong) + ".");
  }
}

}  // namespace
}  // namespace tablica
