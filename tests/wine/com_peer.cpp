// The Linux side of the Wine tests: it makes a pseudo-terminal for each
// port the tests use, links it into the Wine prefix as dosdevices/comN,
// runs the Windows test program and records every byte that arrives.
//
//   com_peer <dosdevices> <work folder> <port>... [missing:<port>]... -- <command>...
//
// For port N the bytes that arrive are appended to <work folder>/portN.bin as
// soon as they are read. A test makes the peer go away by creating
// <work folder>/portN.hangup; the peer then closes both ends of that
// pseudo-terminal and answers with <work folder>/portN.gone. While
// <work folder>/portN.pause exists the peer reads nothing from that port (it
// answers with portN.paused, and removes that file when it reads again).
// A "missing:N" port is linked to a device that does not exist.
//
// Built for the host (not cross-compiled) and used only by the tests.

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "com_peer: %s: %s\n", what.c_str(), std::strerror(errno));
  std::exit(2);
}

class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() { Close(); }
  Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      Close();
      fd_ = other.fd_;
      other.fd_ = -1;
    }
    return *this;
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int Get() const { return fd_; }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

struct Port {
  int number = 0;
  Fd master;
  // The peer keeps the terminal end open as well, so that the terminal and
  // its settings outlive each close of the port by the program under test.
  Fd terminal;
  fs::path received;
  fs::path hangupRequest;
  fs::path hangupDone;
  fs::path pauseRequest;
  fs::path pauseDone;
};

// Raw, but deliberately not the board's line (9600 baud, 7 data bits, even
// parity, two stop bits), so that a test can tell that the program set it.
void SetForeignLine(int fd) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) Fail("tcgetattr");
  ::cfmakeraw(&tio);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE);
  tio.c_cflag |= CS7 | PARENB | CSTOPB | CLOCAL | CREAD;
  ::cfsetispeed(&tio, B9600);
  ::cfsetospeed(&tio, B9600);
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) Fail("tcsetattr");
}

void Relink(const fs::path& link, const fs::path& target) {
  std::error_code ignored;
  fs::remove(link, ignored);
  fs::create_symlink(target, link);
}

Port MakePort(int number, const fs::path& dosdevices, const fs::path& work) {
  Port port;
  port.number = number;
  port.master = Fd(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (port.master.Get() < 0) Fail("posix_openpt");
  if (::grantpt(port.master.Get()) != 0 || ::unlockpt(port.master.Get()) != 0) Fail("unlockpt");
  const char* name = ::ptsname(port.master.Get());
  if (name == nullptr) Fail("ptsname");
  const std::string terminalPath = name;
  port.terminal = Fd(::open(terminalPath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (port.terminal.Get() < 0) Fail("open " + terminalPath);
  SetForeignLine(port.terminal.Get());
  const std::string stem = "com" + std::to_string(number);
  // Not "comN.bin": on Windows that name is the port itself, in any folder.
  const std::string files = "port" + std::to_string(number);
  port.received = work / (files + ".bin");
  port.hangupRequest = work / (files + ".hangup");
  port.hangupDone = work / (files + ".gone");
  port.pauseRequest = work / (files + ".pause");
  port.pauseDone = work / (files + ".paused");
  std::ofstream(port.received, std::ios::binary | std::ios::trunc);
  Relink(dosdevices / stem, terminalPath);
  return port;
}

void Drain(Port& port) {
  if (port.master.Get() < 0 || fs::exists(port.pauseDone)) return;
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(port.master.Get(), buffer, sizeof buffer);
    if (got <= 0) return;  // EAGAIN: nothing more for now
    std::ofstream out(port.received, std::ios::binary | std::ios::app);
    out.write(buffer, got);
  }
}

void HangUpIfAsked(Port& port) {
  if (port.master.Get() < 0 || !fs::exists(port.hangupRequest)) return;
  Drain(port);
  port.terminal.Close();
  port.master.Close();
  fs::remove(port.hangupRequest);
  std::ofstream(port.hangupDone).put('1');
}

// A paused peer reads nothing, so the terminal's buffer fills up and writes
// to the port stall, as with a device that holds the line.
void PauseIfAsked(Port& port) {
  const bool asked = fs::exists(port.pauseRequest);
  const bool paused = fs::exists(port.pauseDone);
  if (asked && !paused) {
    std::ofstream(port.pauseDone).put('1');
  } else if (!asked && paused) {
    fs::remove(port.pauseDone);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr,
                 "usage: com_peer <dosdevices> <work folder> <port>... [missing:<port>]... -- "
                 "<command>...\n");
    return 2;
  }
  const fs::path dosdevices = argv[1];
  const fs::path work = fs::absolute(argv[2]);
  fs::remove_all(work);
  fs::create_directories(work);
  if (!fs::is_directory(dosdevices)) {
    std::fprintf(stderr, "com_peer: no Wine prefix at %s\n", dosdevices.c_str());
    return 2;
  }

  std::vector<Port> ports;
  int arg = 3;
  for (; arg < argc && std::strcmp(argv[arg], "--") != 0; ++arg) {
    const std::string argument = argv[arg];
    if (argument.rfind("missing:", 0) == 0) {
      const std::string stem = "com" + argument.substr(8);
      Relink(dosdevices / stem, work / ("no-such-device-" + stem));
    } else {
      ports.push_back(MakePort(std::stoi(argument), dosdevices, work));
    }
  }
  if (arg + 1 >= argc) {
    std::fprintf(stderr, "com_peer: no command after --\n");
    return 2;
  }
  for (Port& port : ports) {
    const int flags = ::fcntl(port.master.Get(), F_GETFL);
    ::fcntl(port.master.Get(), F_SETFL, flags | O_NONBLOCK);
  }

  ::setenv("TABLICA_COM_PEER_DIR", work.c_str(), 1);
  const pid_t child = ::fork();
  if (child < 0) Fail("fork");
  if (child == 0) {
    ::execvp(argv[arg + 1], argv + arg + 1);
    Fail(std::string("exec ") + argv[arg + 1]);
  }

  int status = 0;
  for (;;) {
    std::vector<pollfd> watched;
    for (Port& port : ports) {
      if (port.master.Get() >= 0) watched.push_back({port.master.Get(), POLLIN, 0});
    }
    ::poll(watched.data(), watched.size(), 10);
    for (Port& port : ports) {
      PauseIfAsked(port);
      Drain(port);
      HangUpIfAsked(port);
    }
    const pid_t done = ::waitpid(child, &status, WNOHANG);
    if (done == child) break;
    if (done < 0 && errno != EINTR) Fail("waitpid");
  }
  for (Port& port : ports) {
    std::error_code ignored;
    fs::remove(port.pauseDone, ignored);
    Drain(port);
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  std::fprintf(stderr, "com_peer: the test program ended abnormally\n");
  return 1;
}
