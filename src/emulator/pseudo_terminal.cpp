#include "emulator/pseudo_terminal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace emulator {

UniqueFd::~UniqueFd() {
  if (fd_ >= 0) ::close(fd_);
}

UniqueFd::UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

namespace {

std::string Reason(const char* what) {
  return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

std::optional<PseudoTerminal> PseudoTerminal::Open(std::string& error) {
  UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!master) {
    error = Reason("Nie mogę utworzyć pseudoterminala (posix_openpt)");
    return std::nullopt;
  }
  if (::grantpt(master.get()) != 0 || ::unlockpt(master.get()) != 0) {
    error = Reason("Nie mogę udostępnić pseudoterminala (grantpt/unlockpt)");
    return std::nullopt;
  }
  char name[128];
  if (::ptsname_r(master.get(), name, sizeof name) != 0) {
    error = Reason("Nie mogę ustalić nazwy pseudoterminala (ptsname)");
    return std::nullopt;
  }
  UniqueFd slave(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!slave) {
    error = Reason("Nie mogę otworzyć pseudoterminala");
    return std::nullopt;
  }
  // Raw bytes both ways: no line editing, no echo, no newline translation
  // (a 0x0A in the dots must not become 0x0D 0x0A). The writer sets raw mode
  // too; this covers the bytes of a writer that does not.
  termios mode{};
  if (::tcgetattr(slave.get(), &mode) == 0) {
    ::cfmakeraw(&mode);
    ::tcsetattr(slave.get(), TCSANOW, &mode);
  }
  if (::tcgetattr(master.get(), &mode) == 0) {
    ::cfmakeraw(&mode);
    ::tcsetattr(master.get(), TCSANOW, &mode);
  }
  const int flags = ::fcntl(master.get(), F_GETFL);
  ::fcntl(master.get(), F_SETFL, flags | O_NONBLOCK);
  UniqueFd closeWatch(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  if (closeWatch && ::inotify_add_watch(closeWatch.get(), name, IN_CLOSE_WRITE) < 0) {
    closeWatch = UniqueFd();
  }
  return PseudoTerminal(std::move(master), std::move(slave), std::move(closeWatch), name);
}

void PseudoTerminal::DrainCloseWatch() {
  alignas(inotify_event) char events[4096];
  while (closeWatch_ && ::read(closeWatch_.get(), events, sizeof events) > 0) {
  }
}

bool PseudoTerminal::ReleaseAbandonedExclusiveUse() {
  int exclusive = 0;
  if (::ioctl(slave_.get(), TIOCGEXCL, &exclusive) != 0 || exclusive == 0) return false;
  // The writer takes the lock before it asks for exclusive use and keeps it
  // until it closes; while it holds it, this fails and nothing changes.
  if (::flock(slave_.get(), LOCK_EX | LOCK_NB) != 0) return false;
  ::ioctl(slave_.get(), TIOCNXCL);
  ::flock(slave_.get(), LOCK_UN);
  return true;
}

}  // namespace emulator
