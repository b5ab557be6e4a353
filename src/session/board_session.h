#pragma once

// The board as a running program has it: the communication settings read
// from ustaw.txt, the port number and the open link, the board frame and the
// Send command with its rules. Every front end (the main window, the picture
// window, tablica-send, the show player, the service) holds one session and
// reaches the board only through it.
//
// A session is not shared: one thread at a time uses it. It may be made on
// one thread and handed to another (SessionWorker runs one on a thread of
// its own), and it keeps nothing outside itself, so two sessions never
// disturb each other.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "board/bitmap.h"
#include "board/board_dots.h"
#include "board/send_types.h"
#include "common/show_message.h"
#include "serial/comm_settings.h"
#include "serial/serial_platform.h"

namespace tablica {

struct LinkLimits;

// How one Send ended and what it said on the way.
struct SendReport {
  SendResult result = SendResult::Sent;
  std::vector<std::string> messages;  // every message of the Send, in order
  std::chrono::system_clock::time_point finished;
  bool Ok() const { return result == SendResult::Sent; }
  // The messages as one text (empty when there were none).
  std::string Text() const;
};

// Where a pick in a port list came out.
struct PortPick {
  std::uint8_t port = kNoPort;  // the port number now (255: none)
  // The entry the list must show: the picked port's, or the previous
  // choice's after a picked port failed to open (255: "Brak").
  std::uint8_t listPort = kNoPort;
  bool fellBack = false;
};

// What a look at the port found (BoardSession::WatchPort).
enum class PortWatch {
  None,  // no port is wanted
  Open,  // the port is open and its device there
  Away,  // the wanted port is not open: its device is gone or refuses
  Back,  // the port was opened again by this look
};

// The messages of the watch (UTF-8): "Brak portu COM5, czekam na jego
// powrót." and "Port COM5 wrócił."
namespace messages {
std::string PortAway(std::uint8_t portNumber, bool wholeNumber = false);
std::string PortBack(std::uint8_t portNumber, bool wholeNumber = false);
}  // namespace messages

class BoardSession {
 public:
  // `showMessage` hears every message the moment it is given (a window shows
  // it in a message box at once); may be empty. The platform outlives the
  // session.
  explicit BoardSession(SerialPlatform& platform, ShowMessageFn showMessage = {});
  BoardSession(SerialPlatform& platform, ShowMessageFn showMessage, const LinkLimits& limits);
  // A session on the system's own serial ports, which it owns.
  static std::unique_ptr<BoardSession> Native(ShowMessageFn showMessage = {});
  ~BoardSession();
  BoardSession(const BoardSession&) = delete;
  BoardSession& operator=(const BoardSession&) = delete;

  // Takes the settings from the settings file (defaults when it cannot be
  // read), or port `port` instead of the file's when given, and opens that
  // port. A port that cannot be opened has said so and leaves no port
  // chosen. Returns the port number now.
  std::uint8_t OpenFromSettings(const std::filesystem::path& settingsFile = kSettingsFileName,
                                std::optional<std::uint8_t> port = std::nullopt);
  // The user's pick of port `port` (kNoPort for "Brak"): the open port is
  // closed and the new one opened; when that fails the previous choice comes
  // back and is opened again (saying so itself if that fails too).
  PortPick PickPort(std::uint8_t port);

  std::uint8_t PortNumber() const;
  // The port the settings named at the last OpenFromSettings (or the one
  // given instead), whether or not it opened: a list tells a file that names
  // no port from a port that failed to open by it.
  std::uint8_t NamedPort() const;
  const CommSettings& Settings() const;

  // The "Wyślij" road for bitmaps as loaded from files: no port, a picture
  // that cannot go to the board and every failure of the link are told
  // through the messages; both pictures are checked before a byte goes out.
  SendReport Send(const SendRequest& request);
  // The board's dots, and with `second` the second board's block behind the
  // frame.
  SendReport Send(const BoardDots& first, const BoardDots* second = nullptr);

  // The watch of a program that keeps its board for long (a show, the
  // service, a window), called every 200 ms at most. An open port whose
  // device went away is closed at once, so a returning adapter gets its
  // old name back; while the wanted port is away, its device's return is
  // looked for at each call and the port opened again as soon as it is
  // there. A device that is there but refuses to open is tried again after
  // a pause that doubles up to 30 s. Says once when the port goes away and
  // once when it is back, unless `tell` is false (a window looks quietly:
  // its Send says what there is to say).
  PortWatch WatchPort(bool tell = true);
  // Since when the wanted port has been away; nothing while it is open or
  // none is wanted.
  std::optional<std::chrono::system_clock::time_point> AwaySince() const;

  // Waits until what was written has left the system's buffers, at most
  // `limit` (a player must not run ahead of the line). False when it had
  // not, or there is no port.
  bool DrainLine(std::chrono::milliseconds limit);
  // How long `bytes` take on the line at the settings' baud rate (10 bits a
  // byte: start bit, 8 data bits, stop bit).
  std::chrono::microseconds WireTime(std::size_t bytes) const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tablica
