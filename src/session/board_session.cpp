#include "session/board_session.h"

#include <algorithm>
#include <utility>

#include "board/board_frame.h"
#include "serial/serial_link.h"
#include "session/link_send.h"

namespace tablica {

namespace messages {

std::string PortAway(std::uint8_t portNumber, bool wholeNumber) {
  return "Brak portu COM" + std::to_string(ShownPortNumber(portNumber, wholeNumber)) +
         ", czekam na jego powrót.";
}

std::string PortBack(std::uint8_t portNumber, bool wholeNumber) {
  return "Port COM" + std::to_string(ShownPortNumber(portNumber, wholeNumber)) + " wrócił.";
}

}  // namespace messages

namespace {

// The pause before the next try of a device that is there but refuses to
// open: 1 s, doubling up to 30 s.
std::chrono::milliseconds RefusalPause(int refusals) {
  const int doublings = std::min(refusals - 1, 5);
  return std::min<std::chrono::milliseconds>(std::chrono::milliseconds(1000) * (1 << doublings),
                                             std::chrono::milliseconds(30000));
}

}  // namespace

std::string SendReport::Text() const {
  std::string text;
  for (const std::string& message : messages) {
    if (!text.empty()) text += '\n';
    text += message;
  }
  return text;
}

struct BoardSession::State {
  State(SerialPlatform& platform, ShowMessageFn show, const LinkLimits& limits)
      : platform(platform),
        showMessage(std::move(show)),
        link(
            settings, platform, [this](const std::string& text) { Tell(text); }, limits) {}

  void Tell(const std::string& text) {
    if (quiet) return;
    if (heard != nullptr) heard->push_back(text);
    if (showMessage) showMessage(text);
  }

  // Runs a Send, collecting what it says into the report.
  template <class Body>
  SendReport Collect(Body&& body) {
    SendReport report;
    heard = &report.messages;
    try {
      report.result = body();
    } catch (...) {
      heard = nullptr;
      throw;
    }
    heard = nullptr;
    report.finished = std::chrono::system_clock::now();
    return report;
  }

  // The port is open and its device there.
  bool PortOpen() const { return settings.portNumber != kNoPort && link.HasComHandle(); }

  SerialPlatform& platform;
  std::unique_ptr<SerialPlatform> ownedPlatform;  // only for Native()
  ShowMessageFn showMessage;
  std::vector<std::string>* heard = nullptr;  // the report being collected
  CommSettings settings;
  std::uint8_t namedPort = kNoPort;
  // The port the program means to use (the settings', or the last pick);
  // the watch brings it back when it goes away.
  std::uint8_t wantedPort = kNoPort;
  bool quiet = false;  // the watch's own tries say nothing
  // The watch: since when the wanted port is away, how often its device
  // refused to open in a row, and the earliest next try.
  std::optional<std::chrono::system_clock::time_point> awaySince;
  int refusals = 0;
  std::chrono::steady_clock::time_point nextTry{};
  bool toldAway = false;
  SerialLink link;
  BoardFrame frame;
};

BoardSession::BoardSession(SerialPlatform& platform, ShowMessageFn showMessage)
    : BoardSession(platform, std::move(showMessage), LinkLimits{}) {}

BoardSession::BoardSession(SerialPlatform& platform, ShowMessageFn showMessage,
                           const LinkLimits& limits)
    : state_(std::make_unique<State>(platform, std::move(showMessage), limits)) {}

std::unique_ptr<BoardSession> BoardSession::Native(ShowMessageFn showMessage) {
  auto platform = MakeNativeSerialPlatform();
  auto session = std::make_unique<BoardSession>(*platform, std::move(showMessage));
  session->state_->ownedPlatform = std::move(platform);
  return session;
}

BoardSession::~BoardSession() = default;

std::uint8_t BoardSession::OpenFromSettings(const std::filesystem::path& settingsFile,
                                            std::optional<std::uint8_t> port) {
  State& s = *state_;
  if (s.settings.portNumber != kNoPort && s.link.HasComHandle()) s.link.CloseComHandle();
  LoadCommSettings(s.settings, settingsFile);
  if (port) {
    s.settings.portNumber = *port;
    s.settings.wholePortNumber = true;
  }
  s.namedPort = s.settings.portNumber;
  s.wantedPort = s.settings.portNumber;
  s.awaySince.reset();
  s.refusals = 0;
  // A failure has shown its message and left no port.
  if (s.settings.portNumber != kNoPort) s.link.OpenComPort();
  return s.settings.portNumber;
}

PortPick BoardSession::PickPort(std::uint8_t port) {
  State& s = *state_;
  if (s.settings.portNumber != kNoPort && s.link.HasComHandle()) s.link.CloseComHandle();
  s.awaySince.reset();
  s.refusals = 0;
  if (port == kNoPort) {
    s.settings.portNumber = kNoPort;
    s.wantedPort = kNoPort;
    return {kNoPort, kNoPort, false};
  }
  const std::uint8_t previous = s.settings.portNumber;
  s.settings.portNumber = port;
  if (!s.link.OpenComPort()) {
    s.wantedPort = port;
    return {port, port, false};
  }
  // The new port failed and said so: back to the previous choice.
  s.settings.portNumber = previous;
  s.wantedPort = previous;
  if (previous != kNoPort) s.link.OpenComPort();  // says so itself if this fails too
  return {s.settings.portNumber, previous, true};
}

std::uint8_t BoardSession::PortNumber() const {
  return state_->settings.portNumber;
}

std::uint8_t BoardSession::NamedPort() const {
  return state_->namedPort;
}

const CommSettings& BoardSession::Settings() const {
  return state_->settings;
}

SendReport BoardSession::Send(const SendRequest& request) {
  State& s = *state_;
  const ShowMessageFn tell = [&s](const std::string& text) { s.Tell(text); };
  return s.Collect([&] {
    // A port the watch found gone is looked for once more first; still
    // away, the Send says it cannot open it.
    if (s.awaySince && !s.PortOpen() && WatchPort(false) == PortWatch::Away) {
      s.Tell(messages::CannotOpenPort(s.wantedPort, s.settings.wholePortNumber));
      return SendResult::WriteFailed;
    }
    return RunSendCommand(s.link, s.frame, tell, request);
  });
}

SendReport BoardSession::Send(const BoardDots& first, const BoardDots* second) {
  const Bitmap firstBitmap = DotsToBitmap(first);
  const Bitmap secondBitmap = second != nullptr ? DotsToBitmap(*second) : Bitmap();
  return Send(SendRequest{firstBitmap, secondBitmap, second != nullptr, second != nullptr});
}

PortWatch BoardSession::WatchPort(bool tell) {
  State& s = *state_;
  if (s.wantedPort == kNoPort) return PortWatch::None;
  const auto now = s.platform.Now();
  if (s.PortOpen()) {
    if (!s.link.HungUp()) return PortWatch::Open;
    s.link.CloseComHandle();
    s.settings.portNumber = kNoPort;
  }
  if (!s.awaySince) {
    // Gone now, or found gone (a failed write closed it, or it was not
    // there at the start).
    s.awaySince = std::chrono::system_clock::now();
    s.refusals = 0;
    s.nextTry = now;
    s.toldAway = false;
  }
  // Said once, and only when the port did not come back at the first try
  // (a line error closes a port that opens again at once).
  const auto sayAway = [&] {
    if (tell && !s.toldAway) s.Tell(messages::PortAway(s.wantedPort, s.settings.wholePortNumber));
    s.toldAway = s.toldAway || tell;
    return PortWatch::Away;
  };
  if (!s.platform.DevicePresent(ComDeviceName(s.wantedPort, s.settings.wholePortNumber))) {
    // A device that comes back is tried at once, whatever refused before.
    s.refusals = 0;
    s.nextTry = now;
    return sayAway();
  }
  if (now < s.nextTry) return PortWatch::Away;
  s.settings.portNumber = s.wantedPort;
  s.quiet = true;
  const bool failed = s.link.OpenComPort();
  s.quiet = false;
  if (failed) {
    s.settings.portNumber = kNoPort;
    ++s.refusals;
    s.nextTry = now + RefusalPause(s.refusals);
    return sayAway();
  }
  if (s.toldAway && tell) s.Tell(messages::PortBack(s.wantedPort, s.settings.wholePortNumber));
  s.awaySince.reset();
  s.refusals = 0;
  return PortWatch::Back;
}

std::optional<std::chrono::system_clock::time_point> BoardSession::AwaySince() const {
  return state_->awaySince;
}

bool BoardSession::DrainLine(std::chrono::milliseconds limit) {
  return state_->link.Drain(limit);
}

std::chrono::microseconds BoardSession::WireTime(std::size_t bytes) const {
  return LineTime(bytes, state_->settings.baudRate);
}

}  // namespace tablica
