#pragma once

// A connection to an MQTT broker that keeps itself up: libmosquitto's
// client driven by a thread of its own, which connects, subscribes, and
// after the broker went away (or was not there yet) connects and
// subscribes again, waiting longer between tries the longer it is gone.
// Each time the connection is made its owner hears of it, so that it can
// publish again what the broker should hold. The last will is handed to
// the broker with every connect: it publishes it when the connection ends
// without a goodbye (the program killed, the network gone).

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tablica::service::mqtt {

struct MqttMessage {
  std::string topic;
  std::string payload;
  bool retain = false;
  int qos = 1;  // at least once; 0 for what the next one replaces anyway
};

struct ClientSetup {
  std::string host;
  int port = 1883;
  std::string clientId;
  std::optional<std::string> user;
  std::optional<std::string> password;
  MqttMessage will;
  std::vector<std::string> subscriptions;
  // Both are called on the client's thread; an exception they throw is
  // logged and goes no further.
  std::function<void()> connected;  // subscribed; publish what the broker should hold
  std::function<void(const MqttMessage&)> received;
  std::function<void(const std::string&)> log;  // Polish lines
  // The pause after a failed or lost connection doubles from the first to
  // the longest.
  std::chrono::milliseconds firstRetry{1000};
  std::chrono::milliseconds longestRetry{30000};
  // The broker counts the client gone (and publishes the will) after one
  // and a half of these without a word.
  std::chrono::seconds keepAlive{20};
};

class MqttClient {
 public:
  // Nothing connects until Start(), so that the owner can finish setting
  // itself up before the first `connected` call arrives on the client's
  // thread.
  explicit MqttClient(ClientSetup setup);
  // Leaves as Close() does, without a last message.
  ~MqttClient();
  MqttClient(const MqttClient&) = delete;
  MqttClient& operator=(const MqttClient&) = delete;

  // From any thread. False when there is no connection now: the message is
  // dropped (the owner publishes again what matters once connected).
  bool Publish(const MqttMessage& message);
  bool Connected() const;
  // Starts connecting; a broker that is not there yet is tried again and
  // again.
  void Start();
  // Publishes `farewell` (when connected), says goodbye to the broker and
  // ends the client's thread; waits at most a few seconds for the broker.
  void Close(std::optional<MqttMessage> farewell = std::nullopt);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tablica::service::mqtt
