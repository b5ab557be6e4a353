#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/show_message.h"
#include "serial/comm_settings.h"
#include "serial/serial_platform.h"

namespace tablica {

// The link's Polish messages (UTF-8).
namespace messages {
inline constexpr const char* kNoPortChosen = "Nie wybrano portu komunikacyjnego.";
inline constexpr const char* kTransmissionError = "Wystąpił błąd transmisji.";
inline constexpr const char* kTransmissionTimeout = "Upłynął limit czasu transmisji.";
// "Nie mogę otworzyć portu COM7."; `wholeNumber` as in ShownPortNumber.
std::string CannotOpenPort(std::uint8_t portNumber, bool wholeNumber = false);
// "... COM7 z takimi ustawieniami."
std::string CannotOpenPortWithSettings(std::uint8_t portNumber, bool wholeNumber = false);
}  // namespace messages

enum class LineCheck { Clear = 0, Error = 1, Held = 2 };

// "COM7" up to 9, "\\.\COM12" from 10 on; the number is signed ("COM-56")
// unless `wholeNumber`.
std::string ComDeviceName(std::uint8_t portNumber, bool wholeNumber = false);

CommTimeouts OpenTimeouts();
// Time-outs for one write attempt of `remaining` bytes at `baudRate`.
CommTimeouts WriteAttemptTimeouts(std::uint32_t remaining, std::uint32_t baudRate);

struct LinkLimits {
  int maxIncompleteAttempts = 1000;  // the write gives up at the next one
  std::chrono::milliseconds noProgressLimit{30000};
  int maxReopensWithoutProgress = 3;
};

// The one serial port of the process. It owns the COM handle; the port
// number lives in the settings record it is given.
class SerialLink {
 public:
  SerialLink(CommSettings& settings, SerialPlatform& platform, ShowMessageFn showMessage,
             LinkLimits limits = {});
  ~SerialLink();
  SerialLink(const SerialLink&) = delete;
  SerialLink& operator=(const SerialLink&) = delete;

  // False on success. On failure: message shown, port number 255, the COM
  // handle as it was.
  bool OpenComPort();
  // False when all `length` bytes went out; true on any failure. `before`:
  // bytes written just ahead of this block that must go again ahead of it
  // when the port has to be opened anew (a frame ahead of its second-board
  // block).
  bool WriteComBlock(std::uint8_t* block, std::int32_t length,
                     const std::vector<std::uint8_t>* before = nullptr);
  LineCheck CheckComLine(PortDevice& port);
  // Waits, at most `limit`, until what was written has left the system's
  // buffers; false when it had not or no port is open.
  bool Drain(std::chrono::milliseconds limit);
  // Closes the COM handle, if one is open; the port number is the caller's.
  void CloseComHandle();
  bool HasComHandle() const;
  // Whether the open port's device went away while idle (false with none
  // open); the port stays open until closed.
  bool HungUp();

  CommSettings& Settings() { return settings_; }
  const CommSettings& Settings() const { return settings_; }
  const LinkLimits& Limits() const { return limits_; }

 private:
  CommSettings& settings_;
  SerialPlatform& platform_;
  ShowMessageFn showMessage_;
  LinkLimits limits_;
  std::unique_ptr<PortDevice> comHandle_;
};

}  // namespace tablica
