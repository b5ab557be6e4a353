#pragma once

// The far end of a pseudo-terminal, standing in for a board: it holds the
// master side, links the slave as a COM port for the program, and reads
// whatever the program writes.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace tablica::testing_support {

class PtyPeer {
 public:
  PtyPeer() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
      throw std::runtime_error("no pseudo-terminal");
    }
    slavePath_ = ::ptsname(master_);
    termios tio{};
    ::tcgetattr(master_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(master_, TCSANOW, &tio);
  }
  ~PtyPeer() { HangUp(); }
  PtyPeer(const PtyPeer&) = delete;
  PtyPeer& operator=(const PtyPeer&) = delete;

  const std::string& SlavePath() const { return slavePath_; }

  // Makes the slave reachable as COM `port` through `linksFolder/comN`.
  void LinkAs(const std::filesystem::path& linksFolder, int port) const {
    std::filesystem::create_directories(linksFolder);
    const auto link = linksFolder / ("com" + std::to_string(port));
    std::filesystem::remove(link);
    std::filesystem::create_symlink(slavePath_, link);
  }

  // Reads until `count` bytes have arrived or `timeout` passes.
  std::vector<std::uint8_t> Read(std::size_t count,
                                 std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    std::vector<std::uint8_t> got;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (got.size() < count) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd pfd{master_, POLLIN, 0};
      if (::poll(&pfd, 1, static_cast<int>(left.count())) <= 0) continue;
      std::uint8_t buffer[4096];
      const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - got.size()));
      if (n <= 0) break;
      got.insert(got.end(), buffer, buffer + n);
    }
    return got;
  }

  // Reads whatever arrives until the line has been quiet for `quiet`.
  std::vector<std::uint8_t> Drain(
      std::chrono::milliseconds quiet = std::chrono::milliseconds(200)) {
    std::vector<std::uint8_t> got;
    for (;;) {
      pollfd pfd{master_, POLLIN, 0};
      if (::poll(&pfd, 1, static_cast<int>(quiet.count())) <= 0) break;
      std::uint8_t buffer[4096];
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n <= 0) break;
      got.insert(got.end(), buffer, buffer + n);
    }
    return got;
  }

  // Closes the master: the board went away.
  void HangUp() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string slavePath_;
};

// Points $XDG_CONFIG_HOME at a folder for the object's life.
class ScopedConfigHome {
 public:
  explicit ScopedConfigHome(const std::filesystem::path& folder) {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) old_ = old, hadOld_ = true;
    ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
  }
  ~ScopedConfigHome() {
    if (hadOld_) {
      ::setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
    } else {
      ::unsetenv("XDG_CONFIG_HOME");
    }
  }
  ScopedConfigHome(const ScopedConfigHome&) = delete;
  ScopedConfigHome& operator=(const ScopedConfigHome&) = delete;
  std::filesystem::path PortsFolder() const {
    return std::filesystem::path(std::getenv("XDG_CONFIG_HOME")) / "zapis-bitmapy" / "ports";
  }

 private:
  std::string old_;
  bool hadOld_ = false;
};

}  // namespace tablica::testing_support
