// The board on an MQTT broker through libmosquitto: commands from the
// board's topics (and tablica/all/, and its groups') go to the board
// service as the HTTP API's requests do, checked whole first; a refused one
// is logged, shown in the status, and dropped. The service's status and
// picture go back, paced, and Home Assistant's discovery with the
// availability on every connect. Each process has a client id of its own,
// so two services given one name both stay connected; each learns of the
// other from the name's retained instance topic and says so.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>

#include "picture/convert_options.h"
#include "service/mqtt/mqtt_client.h"
#include "service/mqtt/mqtt_discovery.h"
#include "service/mqtt/mqtt_publisher.h"
#include "service/mqtt/mqtt_topics.h"
#include "service/mqtt_bridge.h"
#include "service/notice_request.h"
#include "service/service_json.h"
#include "service/service_options.h"

namespace tablica::service {

namespace {

using mqtt::Command;
using mqtt::MqttMessage;

// A password file is a line, not a document.
constexpr std::streamsize kLargestPassword = 4096;
// Two lines of the board are a few hundred bytes at most: a text payload
// far longer is refused before it is read through (a 30 MB line would be
// checked, split and copied first).
constexpr std::size_t kLongestTextPayload = 16 * 1024;

std::optional<std::string> ReadPassword(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string password(static_cast<std::size_t>(kLargestPassword) + 1, '\0');
  in.read(password.data(), kLargestPassword + 1);
  if (in.bad() || in.gcount() > kLargestPassword) return std::nullopt;
  password.resize(static_cast<std::size_t>(in.gcount()));
  while (!password.empty() && (password.back() == '\n' || password.back() == '\r')) {
    password.pop_back();
  }
  if (password.empty()) return std::nullopt;
  return password;
}

// The broker knows a client by its id, and drops the older of two that
// share one: the board's name with a random part, new for each process.
std::string ClientId(const std::string& name) {
  std::random_device random;
  char tail[16];
  std::snprintf(tail, sizeof tail, "-%08x", static_cast<unsigned>(random()));
  return "tablica-serwer-" + name + tail;
}

class MosquittoBridge final : public MqttBridge {
 public:
  MosquittoBridge(BoardService& service, mqtt::ClientSetup setup, const std::string& name,
                  const MqttOptions& options, LogFn log)
      : service_(service),
        topics_(name, options.groups),
        maxPayload_(options.maxPayload),
        log_(std::move(log)),
        clientId_(setup.clientId),
        broker_(setup.host + ":" + std::to_string(setup.port)) {
    const std::string version = service_.Status().version;
    discovery_ = mqtt::DiscoveryMessages(topics_, version, options.pageUrl);
    publisher_ = std::make_unique<mqtt::BoardPublisher>(mqtt::PublisherSetup{
        topics_,
        [this] { return StatusJson(service_.Status()); },
        [this] { return service_.BoardNow(); },
        [](const BoardDots& dots) { return BoardPng(dots); },
        [this](const MqttMessage& message) {
          mqtt::MqttClient* client = client_.load();
          return client && client->Publish(message);
        },
    });
    observer_ =
        service_.AddFrameObserver([this](const FrameEvent&) { publisher_->FrameWritten(); });
    // The board's port going away or coming back changes the status.
    reachObserver_ = service_.AddReachObserver([this] { publisher_->FrameWritten(); });
    setup.will = {topics_.Availability(), std::string(mqtt::kOffline), true, 1};
    setup.subscriptions = topics_.Subscriptions();
    setup.subscriptions.push_back(topics_.Availability());
    setup.subscriptions.push_back(topics_.Instance());
    setup.connected = [this] { Connected(); };
    setup.received = [this](const MqttMessage& message) { Received(message); };
    setup.log = log_;
    owned_ = std::make_unique<mqtt::MqttClient>(std::move(setup));
    client_ = owned_.get();
    owned_->Start();  // Connected() may come at once, and uses owned_
  }

  ~MosquittoBridge() override {
    service_.RemoveFrameObserver(observer_);
    service_.RemoveReachObserver(reachObserver_);
    owned_->Close(MqttMessage{topics_.Availability(), std::string(mqtt::kOffline), true, 1});
    publisher_.reset();
  }

 private:
  // On the client's thread, each time the broker has taken the connection.
  void Connected() {
    heldOnline_ = false;
    heldByOther_ = false;
    Announce();
    for (const MqttMessage& message : discovery_) Publish(message);
    publisher_->PublishNow();
  }

  // The board is online, and this process holds its name.
  void Announce() {
    Publish({topics_.Availability(), std::string(mqtt::kOnline), true, 1});
    Publish({topics_.Instance(), clientId_, true, 1});
  }

  void Publish(const MqttMessage& message) { owned_->Publish(message); }

  void Received(const MqttMessage& message) {
    if (message.topic == topics_.Availability() || message.topic == topics_.Instance()) {
      return Claimed(message);
    }
    const std::optional<Command> command = topics_.CommandOf(message.topic);
    if (!command) return;
    const std::string problem = Carry(*command, message);
    if (!problem.empty()) {
      log_("MQTT: odrzucono wiadomość z „" + message.topic + "”: " + problem);
      service_.Refused(problem);
      publisher_->StatusChanged();
    }
  }

  // What the broker holds for the name (retained: what was there when this
  // process subscribed) and what others publish there now. Another
  // process's id while the board is online, or another process announcing
  // itself now: the name is used twice. The other's "offline" (it ended)
  // would leave this board offline in Home Assistant: announced again.
  void Claimed(const MqttMessage& message) {
    if (message.topic == topics_.Availability()) {
      if (message.retain) {
        heldOnline_ = message.payload == mqtt::kOnline;
      } else if (message.payload == mqtt::kOffline) {
        Announce();
      }
    } else if (message.payload != clientId_) {
      heldByOther_ = heldByOther_ || message.retain;
      if (!message.retain) return SharedName();
    }
    if (heldOnline_ && heldByOther_) SharedName();
  }

  void SharedName() {
    const std::string notice = "Nazwa tablicy „" + topics_.Name() +
                               "” jest używana też przez inną działającą usługę na brokerze " +
                               broker_ +
                               "; obie dostają te same polecenia. Nadaj każdej tablicy inną "
                               "nazwę (--name).";
    if (sharedNameTold_.exchange(true)) return;
    log_("MQTT: " + notice);
    service_.SetNotice(notice);
    publisher_->StatusChanged();
  }

  // Hands the command to the service; the Polish reason when it is refused.
  std::string Carry(Command command, const MqttMessage& message) {
    const std::string& payload = message.payload;
    // A payload larger than an upload the HTTP side takes is not looked at.
    if (payload.size() > maxPayload_) {
      return "ma " + std::to_string(payload.size()) + " bajtów, a najwięcej można " +
             std::to_string(maxPayload_) + " (opcja --max-upload).";
    }
    // Clearing a notification the broker kept is an empty retained payload:
    // nothing to show, and nothing wrong.
    if (command == Command::Notify && payload.empty()) return {};
    // So is a cancel the broker kept: it would cancel again on every connect
    // (and its own clearing, empty, would cancel all).
    if (command == Command::Cancel && message.retain) {
      return payload.empty() ? std::string()
                             : "odwołanie zachowane przez broker (retain) jest nieaktualne.";
    }
    // A notification kept by the broker would come again with every
    // connect, long after its moment: refused before anything is decoded.
    if (command == Command::Notify && message.retain) {
      return "powiadomienie zachowane przez broker (retain) jest nieaktualne.";
    }
    ContentResult made;
    switch (command) {
      case Command::Blank:
        service_.Blank();
        return {};
      case Command::Cancel:
        return Cancel(payload);
      case Command::Text:
        if (payload.size() > kLongestTextPayload) {
          return "tekst ma " + std::to_string(payload.size()) +
                 " bajtów, a dwa wiersze tablicy to najwyżej " +
                 std::to_string(kLongestTextPayload) + ".";
        }
        if (const auto lines = mqtt::TextLines(payload)) {
          made = service_.TextContent(*lines);
        } else {
          return "tekst musi być zapisany w UTF-8 i mieć co najmniej jedną linię.";
        }
        break;
      case Command::Picture:
        made = service_.PictureContent(
            {reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size()},
            picture::ConvertOptions{});
        break;
      case Command::Show:
        made = service_.JsonContent(payload);
        break;
      case Command::Notify:
        return Notify(payload);
    }
    if (!made.content) return made.error;
    service_.Play(std::move(*made.content));
    return {};
  }

  std::string Notify(std::string payload) {
    const NoticeFieldsResult fields = TakeNoticeFields(payload);
    if (!fields.error.empty()) return fields.error;
    ContentResult made = service_.JsonContent(payload);
    if (!made.content) return made.error;
    const NoticeOptionsResult options = NoticeOptionsOf({}, fields.fields, made.content->Seconds());
    if (!options.options) {
      return "powiadomienie musi mieć pole „seconds” od 1 do " + std::to_string(kMaxNotifySeconds) +
             " albo „hold”: true (nie oba).";
    }
    return service_.Notify(std::move(*made.content), *options.options).error;
  }

  // An id cancels its notification; an empty payload, all of them.
  std::string Cancel(const std::string& payload) {
    std::string id = payload;
    while (!id.empty() && (id.back() == '\n' || id.back() == '\r' || id.back() == ' ')) {
      id.pop_back();
    }
    if (id.empty()) {
      service_.CancelNotices();
      return {};
    }
    if (!IsNoticeId(id)) return "to nie jest identyfikator powiadomienia.";
    if (!service_.CancelNotice(id)) return "nie ma w kolejce powiadomienia „" + id + "”.";
    return {};
  }

  BoardService& service_;
  mqtt::BoardTopics topics_;
  std::uint64_t maxPayload_;
  LogFn log_;
  std::string clientId_;
  std::string broker_;
  // The client's thread's own: what the broker held for the name when
  // this connection subscribed.
  bool heldOnline_ = false;
  bool heldByOther_ = false;
  std::atomic<bool> sharedNameTold_ = false;
  std::vector<MqttMessage> discovery_;
  std::unique_ptr<mqtt::BoardPublisher> publisher_;
  int observer_ = -1;
  int reachObserver_ = -1;
  std::atomic<mqtt::MqttClient*> client_ = nullptr;
  std::unique_ptr<mqtt::MqttClient> owned_;
};

}  // namespace

MqttStart StartMqtt(BoardService& service, const MqttOptions& options, const std::string& name,
                    LogFn log) {
  mqtt::ClientSetup setup;
  setup.host = options.broker.host;
  setup.port = options.broker.port;
  setup.clientId = ClientId(name);
  setup.user = options.user;
  if (options.passwordFile) {
    setup.password = ReadPassword(*options.passwordFile);
    if (!setup.password) {
      return {nullptr, "Nie mogę przeczytać hasła MQTT z pliku „" +
                           picture::Utf8Name(*options.passwordFile) +
                           "” (brak pliku, plik pusty albo dłuższy niż " +
                           std::to_string(kLargestPassword) + " bajtów)."};
    }
  }
  std::string topics = "tablica/" + name + "/…, tablica/all/…";
  for (const std::string& group : options.groups) topics += ", tablica/group/" + group + "/…";
  log("MQTT: broker " + setup.host + ":" + std::to_string(setup.port) + ", tematy " + topics + ".");
  return {
      std::make_unique<MosquittoBridge>(service, std::move(setup), name, options, std::move(log)),
      {}};
}

}  // namespace tablica::service
