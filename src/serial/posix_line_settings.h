#pragma once

// The line parameters of the POSIX backend as a pure function, beside the
// Win32 one that fills the DCB (win32_dcb.h): the settings and the terminal's
// present attributes in, the attributes to apply out. The backend applies
// them with one tcsetattr; a test checks every flag without a port.

#include <termios.h>

#include <cstdint>
#include <optional>

#include "serial/comm_settings.h"

namespace tablica::posix {

// The termios speed of a baud rate; nothing for a rate termios cannot name.
std::optional<speed_t> SpeedFor(std::uint32_t baudRate);

// `current` made raw (no echo, no line editing, no translation of any byte
// either way), with the settings' speed, byte size, parity and stop bits,
// the receiver on, modem control lines ignored, and flow control only where
// a flag asks for it. Nothing when termios cannot express the settings (an
// unknown speed, a byte size outside 5..8, mark or space parity, 1.5 stop
// bits): the port is then refused rather than run on other terms.
std::optional<termios> LineParameters(const CommSettings& settings, termios current);

}  // namespace tablica::posix
