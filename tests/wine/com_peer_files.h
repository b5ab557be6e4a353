#pragma once

// The Windows side of com_peer: the files through which the Linux peer
// reports what arrived on each port and through which a test makes a peer
// go away. Wine shows the Linux file system as drive Z:.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tablica::wine {

class ComPeerFiles {
 public:
  ComPeerFiles() {
    const char* folder = std::getenv("TABLICA_COM_PEER_DIR");
    if (folder == nullptr) {
      ADD_FAILURE() << "TABLICA_COM_PEER_DIR is not set: run this program through com_peer";
      return;
    }
    folder_ = std::string("Z:") + folder + "/";
  }

  // Every byte that has arrived on COM<port> so far.
  std::vector<std::uint8_t> Arrived(int port) const {
    std::ifstream in(Stem(port) + ".bin", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  // Waits (up to 10 s) until at least `count` bytes have arrived.
  std::vector<std::uint8_t> WaitForArrived(int port, std::size_t count) const {
    std::vector<std::uint8_t> bytes = Arrived(port);
    for (int waited = 0; bytes.size() < count && waited < 10000; waited += 10) {
      ::Sleep(10);
      bytes = Arrived(port);
    }
    return bytes;
  }

  // Has the peer of COM<port> close its pseudo-terminal, as when a cable is
  // pulled or an adapter unplugged. Returns once the peer is gone.
  bool HangUp(int port) const {
    std::ofstream(Stem(port) + ".hangup").put('1');
    return WaitFor([&] { return Exists(Stem(port) + ".gone"); });
  }

  // Has the peer of COM<port> stop reading, so that the terminal's buffer
  // fills and writes stall; Resume lets it read again.
  bool Pause(int port) const {
    std::ofstream(Stem(port) + ".pause").put('1');
    return WaitFor([&] { return Exists(Stem(port) + ".paused"); });
  }
  bool Resume(int port) const {
    ::DeleteFileA((Stem(port) + ".pause").c_str());
    return WaitFor([&] { return !Exists(Stem(port) + ".paused"); });
  }

 private:
  static bool Exists(const std::string& path) { return std::ifstream(path).good(); }

  template <class Condition>
  static bool WaitFor(Condition condition) {
    for (int waited = 0; waited < 10000; waited += 10) {
      if (condition()) return true;
      ::Sleep(10);
    }
    return condition();
  }

  // Not "comN...": on Windows such a name is the port itself, in any folder.
  std::string Stem(int port) const { return folder_ + "port" + std::to_string(port); }

  std::string folder_;
};

}  // namespace tablica::wine
