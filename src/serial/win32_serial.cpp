// The Win32 backend of the serial seam: kernel32's communications calls,
// one for each seam operation, and nothing of the link's own rules.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "serial/output_drain.h"
#include "serial/serial_platform.h"
#include "serial/win32_dcb.h"

namespace tablica {
namespace {

static_assert(win32::kDtrControlDisable == DTR_CONTROL_DISABLE);
static_assert(win32::kRtsControlDisable == RTS_CONTROL_DISABLE);
static_assert(win32::kRtsControlHandshake == RTS_CONTROL_HANDSHAKE);

// Owns one kernel handle; closing it is the only way the port is released.
class UniqueHandle {
 public:
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  ~UniqueHandle() {
    if (IsValid()) CloseHandle(handle_);  // nothing to do if the close fails
  }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.handle_) {
    other.handle_ = INVALID_HANDLE_VALUE;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle& operator=(UniqueHandle&&) = delete;

  HANDLE Get() const { return handle_; }
  bool IsValid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

WriteFailure ClassifyWriteError(DWORD code) {
  switch (code) {
    case ERROR_ACCESS_DENIED:  // the port was taken over (or went away)
      return WriteFailure::AccessDenied;
    case ERROR_DEVICE_REMOVED:  // a USB adapter pulled out
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
      return WriteFailure::Gone;
    default:
      return WriteFailure::Other;
  }
}

class Win32Port final : public PortDevice {
 public:
  explicit Win32Port(UniqueHandle handle) : handle_(std::move(handle)) {}

  void SetTimeouts(const CommTimeouts& timeouts) override {
    COMMTIMEOUTS native{};
    native.ReadIntervalTimeout = timeouts.readIntervalTimeout;
    native.ReadTotalTimeoutMultiplier = timeouts.readTotalTimeoutMultiplier;
    native.ReadTotalTimeoutConstant = timeouts.readTotalTimeoutConstant;
    native.WriteTotalTimeoutMultiplier = timeouts.writeTotalTimeoutMultiplier;
    native.WriteTotalTimeoutConstant = timeouts.writeTotalTimeoutConstant;
    SetCommTimeouts(handle_.Get(), &native);  // a failure shows in later writes
  }

  bool Configure(const CommSettings& settings) override {
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    // The current state and the definition string only seed the reserved
    // members; LineParameters sets every documented one.
    GetCommState(handle_.Get(), &dcb);
    BuildCommDCBA(win32::kDcbDefinition, &dcb);
    dcb = win32::LineParameters(settings, dcb);
    if (SetCommState(handle_.Get(), &dcb) == 0) return false;
    byteTime_ = ByteTime(settings.baudRate);
    return true;
  }

  WriteOutcome Write(const std::uint8_t* data, std::uint32_t count) override {
    WriteOutcome outcome;
    DWORD written = 0;
    outcome.succeeded = WriteFile(handle_.Get(), data, count, &written, nullptr) != 0;
    outcome.written = written;
    if (!outcome.succeeded) {
      const DWORD code = GetLastError();
      outcome.failure = ClassifyWriteError(code);
      outcome.nativeError = static_cast<int>(code);
    }
    return outcome;
  }

  LineState ClearErrors() override {
    DWORD errors = 0;
    COMSTAT status{};
    LineState state;
    state.queried = ClearCommError(handle_.Get(), &errors, &status) != 0;
    // Errors a drain read (and so cleared) on the way still count here.
    state.errorMask = errors | std::exchange(drainedErrors_, 0);
    state.ctsHold = status.fCtsHold != 0;
    state.dsrHold = status.fDsrHold != 0;
    state.rlsdHold = status.fRlsdHold != 0;
    state.xoffHold = status.fXoffHold != 0;
    return state;
  }

  // The output queue's count from ClearCommError, polled with a limit.
  // (FlushFileBuffers would wait too, but with no limit at all: it is held
  // by flow control and ignores the write time-outs.) ClearCommError also
  // clears the line's error state, which the link reads after a write that
  // did not finish, so what it reports here is kept for the next look.
  bool Drain(std::chrono::milliseconds limit) override {
    const OutputQueueQuery queued = [this]() -> std::optional<std::uint32_t> {
      DWORD errors = 0;
      COMSTAT status{};
      if (ClearCommError(handle_.Get(), &errors, &status) == 0) return std::nullopt;
      drainedErrors_ |= errors;
      return status.cbOutQue;
    };
    return WaitForEmptyOutput(queued, byteTime_, limit, SystemDrainClock());
  }

  // The modem status is asked of the driver without touching the line's
  // error state; a removed device refuses it.
  bool HungUp() override {
    DWORD status = 0;
    if (GetCommModemStatus(handle_.Get(), &status) != 0) return false;
    const DWORD code = GetLastError();
    return code == ERROR_DEVICE_REMOVED || code == ERROR_BAD_COMMAND || code == ERROR_GEN_FAILURE ||
           code == ERROR_ACCESS_DENIED;
  }

 private:
  UniqueHandle handle_;
  std::chrono::microseconds byteTime_{0};
  DWORD drainedErrors_ = 0;
};

class Win32SerialPlatform final : public SerialPlatform {
 public:
  std::unique_ptr<PortDevice> Open(const std::string& deviceName) override {
    // Exclusive (share mode 0) and synchronous (no FILE_FLAG_OVERLAPPED).
    UniqueHandle handle(CreateFileA(deviceName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    if (!handle.IsValid()) return nullptr;
    return std::make_unique<Win32Port>(std::move(handle));
  }

  // A COM port that exists has a DOS device name ("COM7" -> \Device\...).
  bool DevicePresent(const std::string& deviceName) override {
    std::string name = deviceName;
    if (name.rfind("\\\\.\\", 0) == 0) name.erase(0, 4);
    char target[512];
    return QueryDosDeviceA(name.c_str(), target, sizeof target) != 0;
  }

  void Sleep(std::uint32_t milliseconds) override { ::Sleep(milliseconds); }

  std::chrono::steady_clock::time_point Now() override { return std::chrono::steady_clock::now(); }
};

}  // namespace

std::unique_ptr<SerialPlatform> MakeNativeSerialPlatform() {
  return std::make_unique<Win32SerialPlatform>();
}

}  // namespace tablica
