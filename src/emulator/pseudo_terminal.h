#pragma once

// The virtual board's end of the line: a pseudo-terminal whose slave side a
// writer opens as if it were a serial port.

#include <optional>
#include <string>

namespace emulator {

// An owned file descriptor.
class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : fd_(fd) {}
  ~UniqueFd();
  UniqueFd(UniqueFd&& other) noexcept;
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }

 private:
  int fd_;
};

class PseudoTerminal {
 public:
  // Opens a new pseudo-terminal in raw mode; on failure, nothing and a
  // Polish reason in `error`.
  static std::optional<PseudoTerminal> Open(std::string& error);

  int MasterFd() const { return master_.get(); }
  // The path a writer opens (/dev/pts/N).
  const std::string& SlavePath() const { return slavePath_; }

  // A writer that asked for exclusive use (TIOCEXCL) leaves the flag on the
  // pseudo-terminal when it closes, because the pair lives on while this
  // side is open; an ordinary user could then never open the port again.
  // When the flag is set and nobody holds the port's lock any more, the
  // writer is gone: the flag is cleared. Returns true when it cleared it.
  bool ReleaseAbandonedExclusiveUse();

  // Readable when a writer has closed the port (inotify), so the exclusive
  // flag can be released before the writer's next open; -1 when the system
  // cannot watch it (then the reader's idle ticks do the job).
  int CloseWatchFd() const { return closeWatch_.get(); }
  // Empties the close watch after it became readable.
  void DrainCloseWatch();

 private:
  PseudoTerminal(UniqueFd master, UniqueFd slave, UniqueFd closeWatch, std::string slavePath)
      : master_(std::move(master)),
        slave_(std::move(slave)),
        closeWatch_(std::move(closeWatch)),
        slavePath_(std::move(slavePath)) {}

  UniqueFd master_;
  // Held open for the whole run: with no slave open, reading the master
  // fails (EIO) until a writer opens it again, and a writer that closes and
  // re-opens the port would race with that.
  UniqueFd slave_;
  UniqueFd closeWatch_;
  std::string slavePath_;
};

}  // namespace emulator
