#pragma once

// The virtual board (tablica-emulator --json --headless) as a child process,
// linked as a COM port, reporting every unit it receives as a JSON line.

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace tablica::testing_support {

// Lower-case hex of bytes[from, from + count), as the board's JSON lines
// spell the bytes of a unit.
inline std::string Hex(const std::vector<std::uint8_t>& bytes, std::size_t from,
                       std::size_t count) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = from; i < from + count; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text;
}

class EmulatorProcess {
 public:
  // `baud` 0 reads as fast as bytes come. The port link goes into the
  // folder $XDG_CONFIG_HOME names at the time of the call.
  EmulatorProcess(const std::string& path, int port, std::uint32_t baud = 0) {
    int out[2];
    if (::pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<std::string> args = {path, "--port", std::to_string(port), "--json", "--headless"};
    if (baud != 0) {
      args.push_back("--baud");
      args.push_back(std::to_string(baud));
    }
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    fd_ = out[0];
  }
  ~EmulatorProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
    if (fd_ >= 0) ::close(fd_);
  }
  EmulatorProcess(const EmulatorProcess&) = delete;
  EmulatorProcess& operator=(const EmulatorProcess&) = delete;

  pid_t Pid() const { return pid_; }

  // The next JSON line, or nothing once the emulator has gone or has said
  // nothing for `limit` (a test then fails instead of waiting for ever).
  std::optional<std::string> NextLine(std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
      if (const auto end = pending_.find('\n'); end != std::string::npos) {
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        return line;
      }
      if (fd_ < 0) return std::nullopt;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd ready{fd_, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) == 0) {
        return std::nullopt;
      }
      char chunk[4096];
      const ssize_t got = ::read(fd_, chunk, sizeof chunk);
      if (got <= 0) {
        if (got < 0 && errno == EINTR) continue;
        return std::nullopt;
      }
      pending_.append(chunk, static_cast<std::size_t>(got));
    }
  }

  // Ends the emulator as Ctrl+C does and returns the lines it printed on
  // the way out (whatever it still held, reported as garbage).
  std::vector<std::string> Stop() {
    std::vector<std::string> lines;
    if (pid_ > 0) ::kill(pid_, SIGTERM);
    while (auto line = NextLine()) lines.push_back(*line);
    if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
    return lines;
  }

  // Waits for the "ready" line; false when the emulator did not start.
  bool WaitReady() {
    const auto line = NextLine();
    return line && line->find("\"event\":\"ready\"") != std::string::npos;
  }

 private:
  pid_t pid_ = -1;
  int fd_ = -1;          // the emulator's standard output
  std::string pending_;  // read, not yet handed out as lines
};

}  // namespace tablica::testing_support
