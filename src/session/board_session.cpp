#include "session/board_session.h"

#include <utility>

#include "board/board_frame.h"
#include "serial/serial_link.h"
#include "session/link_send.h"

namespace tablica {

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
      : showMessage(std::move(show)),
        link(
            settings, platform, [this](const std::string& text) { Tell(text); }, limits) {}

  void Tell(const std::string& text) {
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

  std::unique_ptr<SerialPlatform> ownedPlatform;  // only for Native()
  ShowMessageFn showMessage;
  std::vector<std::string>* heard = nullptr;  // the report being collected
  CommSettings settings;
  std::uint8_t namedPort = kNoPort;
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
  // A failure has shown its message and left no port.
  if (s.settings.portNumber != kNoPort) s.link.OpenComPort();
  return s.settings.portNumber;
}

PortPick BoardSession::PickPort(std::uint8_t port) {
  State& s = *state_;
  if (s.settings.portNumber != kNoPort && s.link.HasComHandle()) s.link.CloseComHandle();
  if (port == kNoPort) {
    s.settings.portNumber = kNoPort;
    return {kNoPort, kNoPort, false};
  }
  const std::uint8_t previous = s.settings.portNumber;
  s.settings.portNumber = port;
  if (!s.link.OpenComPort()) return {port, port, false};
  // The new port failed and said so: back to the previous choice.
  s.settings.portNumber = previous;
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
  return s.Collect([&] { return RunSendCommand(s.link, s.frame, tell, request); });
}

SendReport BoardSession::Send(const BoardDots& first, const BoardDots* second) {
  const Bitmap firstBitmap = DotsToBitmap(first);
  const Bitmap secondBitmap = second != nullptr ? DotsToBitmap(*second) : Bitmap();
  return Send(SendRequest{firstBitmap, secondBitmap, second != nullptr, second != nullptr});
}

bool BoardSession::DrainLine(std::chrono::milliseconds limit) {
  return state_->link.Drain(limit);
}

std::chrono::microseconds BoardSession::WireTime(std::size_t bytes) const {
  return LineTime(bytes, state_->settings.baudRate);
}

}  // namespace tablica
