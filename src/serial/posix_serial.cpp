// The POSIX (termios) backend of the serial seam.

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <optional>
#include <utility>

#if __has_include(<linux/serial.h>)
#include <linux/serial.h>
#define TABLICA_HAVE_ICOUNT 1
#endif

#include "serial/output_drain.h"
#include "serial/posix_device_path.h"
#include "serial/posix_line_settings.h"
#include "serial/serial_platform.h"

namespace tablica {

namespace {

// An owned file descriptor.
class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : fd_(fd) {}
  ~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&&) = delete;
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }

 private:
  int fd_;
};

WriteFailure FailureKind(int error) {
  switch (error) {
    // The device went away (an adapter pulled out, a peer that hung up).
    case EIO:
    case ENXIO:
    case ENODEV:
      return WriteFailure::Gone;
    // The device was taken from us.
    case EACCES:
    case EPERM:
      return WriteFailure::AccessDenied;
    default:
      return WriteFailure::Other;
  }
}

#ifdef TABLICA_HAVE_ICOUNT
struct ErrorCounters {
  int frame = 0, overrun = 0, parity = 0, brk = 0, bufOverrun = 0;
  friend bool operator==(const ErrorCounters&, const ErrorCounters&) = default;
};
#endif

class PosixPort : public PortDevice {
 public:
  explicit PosixPort(UniqueFd fd) : fd_(std::move(fd)) { ReadCounters(); }
  // The tty outlives us when someone else holds it open (a board emulator
  // does): give up the exclusive flag so the port can be opened again.
  ~PosixPort() override { ::ioctl(fd_.get(), TIOCNXCL); }

  void SetTimeouts(const CommTimeouts& timeouts) override { timeouts_ = timeouts; }

  bool Configure(const CommSettings& settings) override {
    termios current{};
    if (::tcgetattr(fd_.get(), &current) != 0) return false;
    const std::optional<termios> wanted = posix::LineParameters(settings, current);
    if (!wanted || ::tcsetattr(fd_.get(), TCSANOW, &*wanted) != 0) return false;
    rtsCts_ = settings.rtsCts != 0;
    byteTime_ = ByteTime(settings.baudRate);
    // DTR and RTS held off. A pseudo-terminal has no modem lines and refuses
    // this, which is no reason to refuse the port.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd_.get(), TIOCMBIC, &lines);
    return true;
  }

  WriteOutcome Write(const std::uint8_t* data, std::uint32_t count) override {
    // The total time-out follows the Windows rule: multiplier per byte plus
    // a constant, for the whole call.
    const auto budget =
        std::chrono::milliseconds(std::uint64_t{timeouts_.writeTotalTimeoutMultiplier} * count +
                                  timeouts_.writeTotalTimeoutConstant);
    const auto deadline = std::chrono::steady_clock::now() + budget;
    std::uint32_t written = 0;
    while (written < count) {
      const ssize_t n = ::write(fd_.get(), data + written, count - written);
      if (n > 0) {
        written += static_cast<std::uint32_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
        const int error = errno;
        // Bytes that already went out are reported as a short success, so
        // the caller never sends them twice; the error shows on the next call.
        if (written > 0) return {true, written, WriteFailure::None, 0};
        return {false, 0, FailureKind(error), error};
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd pfd{fd_.get(), POLLOUT, 0};
      const int ready = ::poll(&pfd, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
      if (ready < 0 && errno != EINTR) {
        const int error = errno;
        if (written > 0) return {true, written, WriteFailure::None, 0};
        return {false, 0, FailureKind(error), error};
      }
    }
    // A time-out is a success with fewer bytes, as on Windows.
    return {true, written, WriteFailure::None, 0};
  }

  LineState ClearErrors() override {
    LineState state;
#ifdef TABLICA_HAVE_ICOUNT
    // Error counters grow monotonically; a rise since the last look is a
    // line error. A pseudo-terminal has no counters: no error to report.
    const ErrorCounters before = counters_;
    if (ReadCounters() && !(before == counters_)) state.errorMask = 1;
#endif
    if (rtsCts_) {
      int lines = 0;
      if (::ioctl(fd_.get(), TIOCMGET, &lines) == 0) state.ctsHold = (lines & TIOCM_CTS) == 0;
    }
    return state;
  }

  // TIOCOUTQ counts what the driver holds for the line: a UART's transmit
  // buffer (not its few bytes of hardware FIFO), a USB adapter's queue and
  // the transfers in flight. A pseudo-terminal hands every byte to its far
  // end at once and always says 0, however much that end has left unread.
  bool Drain(std::chrono::milliseconds limit) override {
    return WaitForEmptyOutput([this] { return QueuedBytes(); }, byteTime_, limit,
                              SystemDrainClock());
  }

  // A tty whose device went away is hung up: poll says so at once, without
  // a byte written (a pseudo-terminal whose other end closed, too).
  bool HungUp() override {
    pollfd pfd{fd_.get(), 0, 0};
    if (::poll(&pfd, 1, 0) <= 0) return false;
    return (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
  }

 private:
  bool ReadCounters() {
#ifdef TABLICA_HAVE_ICOUNT
    serial_icounter_struct icount{};
    if (::ioctl(fd_.get(), TIOCGICOUNT, &icount) != 0) return false;
    counters_ = {icount.frame, icount.overrun, icount.parity, icount.brk, icount.buf_overrun};
    return true;
#else
    return false;
#endif
  }

  std::optional<std::uint32_t> QueuedBytes() const {
    int queued = 0;
    if (::ioctl(fd_.get(), TIOCOUTQ, &queued) == 0)
      return static_cast<std::uint32_t>(std::max(queued, 0));
    // A device without an output queue cannot tell: nothing to wait for.
    if (errno == ENOTTY || errno == EINVAL) return 0;
    return std::nullopt;
  }

  UniqueFd fd_;
  CommTimeouts timeouts_{};
  bool rtsCts_ = false;
  std::chrono::microseconds byteTime_{0};
#ifdef TABLICA_HAVE_ICOUNT
  ErrorCounters counters_{};
#endif
};

class PosixSerialPlatform : public SerialPlatform {
 public:
  std::unique_ptr<PortDevice> Open(const std::string& deviceName) override {
    const auto number = PortNumberFromDeviceName(deviceName);
    if (!number) return nullptr;
    const auto path = ResolvePortDevice(*number, PortLinksFolder());
    if (!path) return nullptr;
    UniqueFd fd(::open(path->c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) return nullptr;
    // Exclusive use: TIOCEXCL keeps others from opening the tty, and the
    // lock keeps out every process that honours it (including root, whom
    // TIOCEXCL does not stop).
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return nullptr;
    ::ioctl(fd.get(), TIOCEXCL);
    return std::make_unique<PosixPort>(std::move(fd));
  }

  // The comN link (or the by-id name it names) and the device node vanish
  // with the device; a link that leads nowhere is no device.
  bool DevicePresent(const std::string& deviceName) override {
    const auto number = PortNumberFromDeviceName(deviceName);
    if (!number) return false;
    const auto path = ResolvePortDevice(*number, PortLinksFolder());
    std::error_code error;
    return path && std::filesystem::exists(*path, error);
  }

  void Sleep(std::uint32_t milliseconds) override {
    timespec request{static_cast<time_t>(milliseconds / 1000),
                     static_cast<long>(milliseconds % 1000) * 1000000L};
    while (::nanosleep(&request, &request) != 0 && errno == EINTR) {
    }
  }

  std::chrono::steady_clock::time_point Now() override { return std::chrono::steady_clock::now(); }
};

}  // namespace

std::unique_ptr<SerialPlatform> MakeNativeSerialPlatform() {
  return std::make_unique<PosixSerialPlatform>();
}

}  // namespace tablica
