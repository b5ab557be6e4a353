#pragma once

// The platform seam under the serial link: the few port operations the
// link's rules need, implemented once for Win32 and once for POSIX, and by a
// scripted fake in the tests. No rule of the link lives below this line.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "serial/comm_settings.h"

namespace tablica {

// Port time-outs in milliseconds, as the Win32 COMMTIMEOUTS counts them.
struct CommTimeouts {
  std::uint32_t readIntervalTimeout = 0;
  std::uint32_t readTotalTimeoutMultiplier = 0;
  std::uint32_t readTotalTimeoutConstant = 0;
  std::uint32_t writeTotalTimeoutMultiplier = 0;
  std::uint32_t writeTotalTimeoutConstant = 0;
  friend bool operator==(const CommTimeouts&, const CommTimeouts&) = default;
};

enum class WriteFailure {
  None,          // the call succeeded (possibly with fewer bytes: time-out)
  AccessDenied,  // the device was taken (ERROR_ACCESS_DENIED, EACCES, EPERM)
  Gone,          // the device went away (EIO, ENXIO, ENODEV, a hang-up; a removed device)
  Other,         // any other failure
};

struct WriteOutcome {
  bool succeeded = false;     // WriteFile returned non-zero
  std::uint32_t written = 0;  // bytes that went out in this call
  WriteFailure failure = WriteFailure::None;
  int nativeError = 0;  // GetLastError() or errno, for diagnostics
};

// What ClearCommError reports (and clears).
struct LineState {
  bool queried = true;          // false: the query itself failed
  std::uint32_t errorMask = 0;  // any CE_ bit: a line error
  bool ctsHold = false;
  bool dsrHold = false;
  bool rlsdHold = false;
  bool xoffHold = false;
};

// One open port. Destroying it closes the port.
class PortDevice {
 public:
  virtual ~PortDevice() = default;
  virtual void SetTimeouts(const CommTimeouts& timeouts) = 0;  // result ignored by the link
  // Applies baud rate, byte size, parity, stop bits, flow-control flags, DTR
  // and RTS off. False when the driver refuses the parameters.
  virtual bool Configure(const CommSettings& settings) = 0;
  // Writes up to `count` bytes within the total time-out set last.
  virtual WriteOutcome Write(const std::uint8_t* data, std::uint32_t count) = 0;
  // Reads and clears the line's error state and hold bits.
  virtual LineState ClearErrors() = 0;
  // Waits until the bytes written so far have left the system's buffers for
  // the line, at most `limit`; false when they had not by then. A device
  // that cannot tell says true at once.
  virtual bool Drain(std::chrono::milliseconds /*limit*/) { return true; }
  // Whether the device went away while the port was open (a hang-up),
  // looked at without writing; at once, never waiting.
  virtual bool HungUp() { return false; }
};

class SerialPlatform {
 public:
  virtual ~SerialPlatform() = default;
  // Opens a device name ("COM7", "\\.\COM12") for exclusive use; null when
  // it does not exist or is in use.
  virtual std::unique_ptr<PortDevice> Open(const std::string& deviceName) = 0;
  // Whether the device of a name is there now, whether or not it can be
  // opened (an adapter plugged in but held by another program is there).
  virtual bool DevicePresent(const std::string& /*deviceName*/) { return true; }
  virtual void Sleep(std::uint32_t milliseconds) = 0;
  virtual std::chrono::steady_clock::time_point Now() = 0;
};

// The platform's own backend (Win32 or POSIX, chosen by the build).
std::unique_ptr<SerialPlatform> MakeNativeSerialPlatform();

}  // namespace tablica
