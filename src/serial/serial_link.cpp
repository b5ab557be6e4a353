#include "serial/serial_link.h"

#include <algorithm>
#include <utility>

namespace tablica {

namespace messages {

std::string CannotOpenPort(std::uint8_t portNumber, bool wholeNumber) {
  return "Nie mogę otworzyć portu COM" + std::to_string(ShownPortNumber(portNumber, wholeNumber)) +
         ".";
}

std::string CannotOpenPortWithSettings(std::uint8_t portNumber, bool wholeNumber) {
  return "Nie mogę otworzyć portu COM" + std::to_string(ShownPortNumber(portNumber, wholeNumber)) +
         " z takimi ustawieniami.";
}

}  // namespace messages

std::string ComDeviceName(std::uint8_t portNumber, bool wholeNumber) {
  const int number = ShownPortNumber(portNumber, wholeNumber);
  // Ports above 9 are only reachable through the device namespace.
  return (number <= 9 ? "COM" : "\\\\.\\COM") + std::to_string(number);
}

CommTimeouts OpenTimeouts() {
  return {.readIntervalTimeout = 0,
          .readTotalTimeoutMultiplier = 0,
          .readTotalTimeoutConstant = 100,
          .writeTotalTimeoutMultiplier = 10,
          .writeTotalTimeoutConstant = 100};
}

CommTimeouts WriteAttemptTimeouts(std::uint32_t remaining, std::uint32_t baudRate) {
  // 32-bit unsigned arithmetic on purpose: the constant is the time the
  // remaining bytes need on the line, in tens of bit times, plus 10 ms.
  const std::uint32_t divisor = std::max<std::uint32_t>(baudRate, 1);
  return {.readIntervalTimeout = 0,
          .readTotalTimeoutMultiplier = 0,
          .readTotalTimeoutConstant = 100,
          .writeTotalTimeoutMultiplier = 20,
          .writeTotalTimeoutConstant = remaining * 800u / divisor + 10u};
}

SerialLink::SerialLink(CommSettings& settings, SerialPlatform& platform, ShowMessageFn showMessage,
                       LinkLimits limits)
    : settings_(settings),
      platform_(platform),
      showMessage_(std::move(showMessage)),
      limits_(limits) {}

SerialLink::~SerialLink() = default;

bool SerialLink::OpenComPort() {
  const std::uint8_t port = settings_.portNumber;
  const bool whole = settings_.wholePortNumber;
  std::unique_ptr<PortDevice> device = platform_.Open(ComDeviceName(port, whole));
  if (!device) {
    // The message names the port that failed, so it is shown before the
    // port number is cleared.
    showMessage_(messages::CannotOpenPort(port, whole));
    settings_.portNumber = kNoPort;
    return true;
  }
  device->SetTimeouts(OpenTimeouts());
  if (!device->Configure(settings_)) {
    showMessage_(messages::CannotOpenPortWithSettings(port, whole));
    settings_.portNumber = kNoPort;
    return true;  // `device` closes here; the old COM handle stays as it was
  }
  // Clears whatever error state the driver held from before; it must not
  // fail the open.
  CheckComLine(*device);
  comHandle_ = std::move(device);
  return false;
}

bool SerialLink::WriteComBlock(std::uint8_t* block, std::int32_t length,
                               const std::vector<std::uint8_t>* before) {
  if (settings_.portNumber == kNoPort || !comHandle_) {
    showMessage_(messages::kNoPortChosen);
    return true;
  }
  if (length <= 0) return false;

  const auto total = static_cast<std::uint32_t>(length);
  std::uint32_t offset = 0;
  int incompleteAttempts = 0;
  int reopensWithoutProgress = 0;
  auto lastProgress = platform_.Now();

  // Ends the write as timed out: the caller's first byte is cleared, the
  // port stays open with its number.
  auto giveUp = [&] {
    block[0] = 0;
    showMessage_(messages::kTransmissionTimeout);
    return true;
  };

  for (;;) {
    const std::uint32_t remaining = total - offset;
    comHandle_->SetTimeouts(WriteAttemptTimeouts(remaining, settings_.baudRate));
    const WriteOutcome outcome = comHandle_->Write(block + offset, remaining);

    if (!outcome.succeeded &&
        (outcome.failure == WriteFailure::AccessDenied || outcome.failure == WriteFailure::Gone)) {
      // The device went away or was taken: it is closed at once (a returning
      // adapter gets its old name back only once nobody holds the old one)
      // and opened anew. The block starts again from its first byte: the
      // driver may have taken bytes it never sent, so resuming in the middle
      // could hand the board the rest of a block only. A port that keeps
      // refusing is given up on.
      CloseComHandle();
      if (reopensWithoutProgress >= limits_.maxReopensWithoutProgress) {
        showMessage_(messages::kTransmissionError);
        settings_.portNumber = kNoPort;
        return true;
      }
      if (OpenComPort()) return true;
      ++reopensWithoutProgress;
      offset = 0;
      if (before != nullptr && !before->empty()) {
        // What went ahead of the block may not have reached the board
        // either: both go again, as one block.
        std::vector<std::uint8_t> both(*before);
        both.insert(both.end(), block, block + total);
        return WriteComBlock(both.data(), static_cast<std::int32_t>(both.size()));
      }
      continue;
    }

    if (outcome.succeeded && outcome.written >= remaining) return false;

    if (CheckComLine(*comHandle_) == LineCheck::Error) {
      block[0] = 0;
      showMessage_(messages::kTransmissionError);
      CloseComHandle();
      settings_.portNumber = kNoPort;
      return true;
    }
    platform_.Sleep(1);
    if (++incompleteAttempts > limits_.maxIncompleteAttempts) return giveUp();

    const std::uint32_t sent = outcome.succeeded ? std::min(outcome.written, remaining) : 0;
    offset += sent;
    if (sent > 0) {
      lastProgress = platform_.Now();
      reopensWithoutProgress = 0;
    } else if (platform_.Now() - lastProgress >= limits_.noProgressLimit) {
      return giveUp();
    }
  }
}

LineCheck SerialLink::CheckComLine(PortDevice& port) {
  const LineState state = port.ClearErrors();
  if (!state.queried || state.errorMask != 0) return LineCheck::Error;
  if (state.ctsHold || state.dsrHold || state.rlsdHold || state.xoffHold) return LineCheck::Held;
  return LineCheck::Clear;
}

bool SerialLink::Drain(std::chrono::milliseconds limit) {
  if (settings_.portNumber == kNoPort || !comHandle_) return false;
  return comHandle_->Drain(limit);
}

void SerialLink::CloseComHandle() {
  comHandle_.reset();
}

bool SerialLink::HasComHandle() const {
  return comHandle_ != nullptr;
}

bool SerialLink::HungUp() {
  return comHandle_ != nullptr && comHandle_->HungUp();
}

}  // namespace tablica
