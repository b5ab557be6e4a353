// The POSIX line parameters, worked out without a port: every row of
// settings against the flags a tty must end up with, starting from a tty an
// earlier program left cooked, with flow control and stick parity on.

#include "serial/posix_line_settings.h"

#include <gtest/gtest.h>

#include <string>

namespace tablica::posix {
namespace {

// A terminal as a shell leaves it, plus everything a previous user of the
// port could have switched on that must not survive our open.
termios CookedTerminal() {
  termios tio{};
  tio.c_iflag = ICRNL | INLCR | IGNCR | IXON | IXOFF | IXANY | ISTRIP | PARMRK | BRKINT;
  tio.c_oflag = OPOST | ONLCR;
  tio.c_lflag = ICANON | ECHO | ECHOE | ECHONL | ISIG | IEXTEN;
  tio.c_cflag = CS7 | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL;
#ifdef CMSPAR
  tio.c_cflag |= CMSPAR;
#endif
  ::cfsetispeed(&tio, B9600);
  ::cfsetospeed(&tio, B9600);
  return tio;
}

CommSettings With(void (*change)(CommSettings&)) {
  CommSettings settings;
  if (change) change(settings);
  return settings;
}

TEST(PosixLineParameters, EachSettingGivesItsFlagsOnARawLine) {
  struct Row {
    std::string name;
    CommSettings settings;
    speed_t speed;
    tcflag_t size;
    tcflag_t parity;    // PARENB and PARODD as they must be
    tcflag_t stopBits;  // CSTOPB or 0
    bool rtsCts;
    bool xonXoff;
  };
  const Row rows[] = {
      {"the board's line: 38400 8N1, no flow control", CommSettings{}, B38400, CS8, 0, 0, false,
       false},
      {"9600 7E2", With([](CommSettings& s) {
         s.baudRate = 9600, s.byteSize = 7, s.parity = 2, s.stopBits = 2;
       }),
       B9600, CS7, PARENB, CSTOPB, false, false},
      {"115200 5O1",
       With([](CommSettings& s) { s.baudRate = 115200, s.byteSize = 5, s.parity = 1; }), B115200,
       CS5, PARENB | PARODD, 0, false, false},
      {"1200 6N1 with RTS/CTS",
       With([](CommSettings& s) { s.baudRate = 1200, s.byteSize = 6, s.rtsCts = 1; }), B1200, CS6,
       0, 0, true, false},
      {"230400 with XON/XOFF", With([](CommSettings& s) { s.baudRate = 230400, s.xonXoff = 1; }),
       B230400, CS8, 0, 0, false, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::optional<termios> made = LineParameters(row.settings, CookedTerminal());
    ASSERT_TRUE(made);
    const termios& tio = *made;
    EXPECT_EQ(::cfgetospeed(&tio), row.speed);
    EXPECT_EQ(::cfgetispeed(&tio), row.speed);
    EXPECT_EQ(tio.c_cflag & CSIZE, row.size);
    EXPECT_EQ(tio.c_cflag & (PARENB | PARODD), row.parity);
    EXPECT_EQ(tio.c_cflag & CSTOPB, row.stopBits);
    EXPECT_EQ((tio.c_cflag & CRTSCTS) != 0, row.rtsCts);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), row.xonXoff ? tcflag_t{IXON | IXOFF} : 0u);
    EXPECT_EQ(tio.c_iflag & IXANY, 0u);
#ifdef CMSPAR
    EXPECT_EQ(tio.c_cflag & CMSPAR, 0u) << "stick parity would send mark or space parity";
#endif
    // Modem lines ignored and the receiver on.
    EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), tcflag_t{CLOCAL | CREAD});
    // Raw: no byte of a frame is translated, swallowed or echoed either way
    // (0x0A must not become 0x0D 0x0A, 0x03 must not raise a signal).
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);  // and with it ONLCR and every other output rule
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | PARMRK | BRKINT), 0u);
    // What the settings do not speak of is left as the tty had it.
    EXPECT_EQ(tio.c_cflag & HUPCL, tcflag_t{HUPCL});
  }
}

TEST(PosixLineParameters, SettingsTermiosCannotExpressAreRefused) {
  const struct {
    std::string name;
    CommSettings settings;
  } rows[] = {
      {"a rate without a termios speed", With([](CommSettings& s) { s.baudRate = 14400; })},
      {"no rate at all", With([](CommSettings& s) { s.baudRate = 0; })},
      {"4 data bits", With([](CommSettings& s) { s.byteSize = 4; })},
      {"9 data bits", With([](CommSettings& s) { s.byteSize = 9; })},
      {"mark parity", With([](CommSettings& s) { s.parity = 3; })},
      {"space parity", With([](CommSettings& s) { s.parity = 4; })},
      {"1.5 stop bits", With([](CommSettings& s) { s.stopBits = 1; })},
  };
  for (const auto& row : rows) {
    EXPECT_FALSE(LineParameters(row.settings, CookedTerminal())) << row.name;
  }
}

}  // namespace
}  // namespace tablica::posix
