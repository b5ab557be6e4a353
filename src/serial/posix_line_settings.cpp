#include "serial/posix_line_settings.h"

namespace tablica::posix {

namespace {

// Linux's stick parity: left on by an earlier user of the tty it would turn
// the parity we ask for into mark or space parity.
#ifdef CMSPAR
constexpr tcflag_t kStickParity = CMSPAR;
#else
constexpr tcflag_t kStickParity = 0;
#endif

std::optional<tcflag_t> SizeFlag(std::uint8_t byteSize) {
  switch (byteSize) {
    case 5:
      return CS5;
    case 6:
      return CS6;
    case 7:
      return CS7;
    case 8:
      return CS8;
    default:
      return std::nullopt;
  }
}

// The settings carry the Windows codes: 0 none, 1 odd, 2 even (3 mark and
// 4 space have no portable termios form).
std::optional<tcflag_t> ParityFlags(std::uint8_t parity) {
  switch (parity) {
    case 0:
      return tcflag_t{0};
    case 1:
      return tcflag_t{PARENB | PARODD};
    case 2:
      return tcflag_t{PARENB};
    default:
      return std::nullopt;
  }
}

// The Windows codes again: 0 one stop bit, 1 one and a half (no termios
// form), 2 two.
std::optional<tcflag_t> StopFlags(std::uint8_t stopBits) {
  switch (stopBits) {
    case 0:
      return tcflag_t{0};
    case 2:
      return tcflag_t{CSTOPB};
    default:
      return std::nullopt;
  }
}

}  // namespace

std::optional<speed_t> SpeedFor(std::uint32_t baudRate) {
  switch (baudRate) {
    case 1200:
      return B1200;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    case 230400:
      return B230400;
    default:
      return std::nullopt;
  }
}

std::optional<termios> LineParameters(const CommSettings& settings, termios current) {
  const auto speed = SpeedFor(settings.baudRate);
  const auto size = SizeFlag(settings.byteSize);
  const auto parity = ParityFlags(settings.parity);
  const auto stop = StopFlags(settings.stopBits);
  if (!speed || !size || !parity || !stop) return std::nullopt;

  termios tio = current;
  ::cfmakeraw(&tio);
  if (::cfsetispeed(&tio, *speed) != 0 || ::cfsetospeed(&tio, *speed) != 0) return std::nullopt;
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | kStickParity | CSTOPB | CRTSCTS);
  tio.c_cflag |= *size | *parity | *stop | CLOCAL | CREAD;
  if (settings.rtsCts != 0) tio.c_cflag |= CRTSCTS;
  tio.c_iflag &= ~(IXON | IXOFF | IXANY);
  if (settings.xonXoff != 0) tio.c_iflag |= IXON | IXOFF;
  return tio;
}

}  // namespace tablica::posix
