#include "service/mqtt/mqtt_client.h"

#include <mosquitto.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <stop_token>
#include <thread>

namespace tablica::service::mqtt {

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// How long one turn of the loop waits for the network, in milliseconds: a
// message published from another thread wakes it at once, so this only
// bounds how soon a stop is noticed (and how often an idle client wakes).
constexpr int kLoopWait = 250;

// libmosquitto's own start-up (the sockets library on Windows), once a
// process, before the first client.
void StartLibrary() {
  static std::once_flag once;
  std::call_once(once, [] { mosquitto_lib_init(); });
}

// What the broker's answer to a connect means, for the log.
std::string Refusal(int code) {
  switch (code) {
    case 1:
      return "nie zna tej wersji protokołu MQTT";
    case 2:
      return "nie przyjmuje identyfikatora klienta";
    case 3:
      return "jest chwilowo niedostępny";
    case 4:
      return "zły użytkownik lub hasło";
    case 5:  // what Mosquitto answers to a wrong password too
      return "brak uprawnień (sprawdź użytkownika i hasło)";
    default:
      return "kod " + std::to_string(code);
  }
}

struct MosquittoFree {
  void operator()(mosquitto* client) const { mosquitto_destroy(client); }
};

}  // namespace

struct MqttClient::State {
  explicit State(ClientSetup s) : setup(std::move(s)) {}

  void Log(const std::string& line) const {
    if (setup.log) setup.log("MQTT: " + line);
  }
  std::string Broker() const { return setup.host + ":" + std::to_string(setup.port); }

  // Runs one of the owner's callbacks; whatever escapes it ends there.
  template <typename Call>
  void Guarded(Call call) {
    try {
      call();
    } catch (const std::exception& error) {
      Log(std::string("błąd przy obsłudze wiadomości: ") + error.what());
    } catch (...) {
      Log("nieznany błąd przy obsłudze wiadomości.");
    }
  }

  // --- on the client's thread, inside mosquitto_loop ---
  void OnConnect(int code) {
    if (code != 0) {
      Problem("broker " + Broker() + " odmówił połączenia: " + Refusal(code) + ".");
      return;
    }
    std::vector<char*> topics;
    for (std::string& topic : setup.subscriptions) topics.push_back(topic.data());
    if (!topics.empty()) {
      mosquitto_subscribe_multiple(client.get(), nullptr, static_cast<int>(topics.size()),
                                   topics.data(), 1, 0, nullptr);
    }
    connected = true;
    problem.clear();
    retry = setup.firstRetry;
    Log("połączono z brokerem " + Broker() + ".");
    if (setup.connected) Guarded(setup.connected);
  }

  void OnDisconnect(int code) {
    const bool was = connected.exchange(false);
    if (was && code != 0) {
      Log("utracono połączenie z brokerem " + Broker() + "; łączę ponownie.");
      problem = "utracono";
    }
  }

  void OnMessage(const mosquitto_message& message) {
    if (!setup.received) return;
    MqttMessage received;
    received.topic = message.topic ? message.topic : "";
    if (message.payload && message.payloadlen > 0) {
      received.payload.assign(static_cast<const char*>(message.payload),
                              static_cast<std::size_t>(message.payloadlen));
    }
    received.retain = message.retain;
    received.qos = message.qos;
    Guarded([&] { setup.received(received); });
  }

  // A failure is logged once, until it changes or the connection is made.
  void Problem(const std::string& text) {
    if (text == problem) return;
    problem = text;
    Log(text);
  }

  // --- the client's thread ---
  void Run(std::stop_token stop) {
    while (!stop.stop_requested()) {
      int rc = mosquitto_connect_async(client.get(), setup.host.c_str(), setup.port,
                                       static_cast<int>(setup.keepAlive.count()));
      while (rc == MOSQ_ERR_SUCCESS && !stop.stop_requested()) {
        rc = mosquitto_loop(client.get(), kLoopWait, 1);
      }
      if (stop.stop_requested()) break;
      if (problem.empty()) {
        Problem("nie mogę połączyć się z brokerem " + Broker() + "; próbuję dalej.");
      }
      std::mutex mutex;
      std::condition_variable_any wake;
      std::unique_lock lock(mutex);
      wake.wait_for(lock, stop, retry, [] { return false; });
      retry = std::min(retry * 2, setup.longestRetry);
    }
    Leave();
  }

  // A goodbye the broker hears: the farewell, then a proper disconnect (so
  // the will is not published).
  void Leave() {
    if (!connected) return;
    std::optional<MqttMessage> last;
    {
      std::lock_guard lock(farewellMutex);
      last = farewell;
    }
    if (last) Send(*last);
    closing = true;
    mosquitto_disconnect(client.get());
    const auto until = steady_clock::now() + std::chrono::seconds(3);
    while (steady_clock::now() < until &&
           mosquitto_loop(client.get(), 100, 1) == MOSQ_ERR_SUCCESS) {
    }
    connected = false;
  }

  bool Send(const MqttMessage& message) {
    return mosquitto_publish(client.get(), nullptr, message.topic.c_str(),
                             static_cast<int>(message.payload.size()), message.payload.data(),
                             message.qos, message.retain) == MOSQ_ERR_SUCCESS;
  }

  ClientSetup setup;
  std::unique_ptr<mosquitto, MosquittoFree> client;
  std::atomic<bool> connected = false;
  std::atomic<bool> closing = false;
  // The client's thread's own.
  std::string problem;
  milliseconds retry{1000};
  std::mutex farewellMutex;
  std::optional<MqttMessage> farewell;
  std::jthread thread;
};

MqttClient::MqttClient(ClientSetup setup) : state_(std::make_unique<State>(std::move(setup))) {
  StartLibrary();
  State& state = *state_;
  state.retry = state.setup.firstRetry;
  state.client.reset(mosquitto_new(state.setup.clientId.c_str(), true, &state));
  if (!state.client) throw std::bad_alloc();
  mosquitto* client = state.client.get();
  mosquitto_threaded_set(client, true);
  mosquitto_int_option(client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
  const MqttMessage& will = state.setup.will;
  if (!will.topic.empty()) {
    mosquitto_will_set(client, will.topic.c_str(), static_cast<int>(will.payload.size()),
                       will.payload.data(), will.qos, will.retain);
  }
  if (state.setup.user) {
    mosquitto_username_pw_set(client, state.setup.user->c_str(),
                              state.setup.password ? state.setup.password->c_str() : nullptr);
  }
  mosquitto_connect_callback_set(
      client, [](mosquitto*, void* self, int code) { static_cast<State*>(self)->OnConnect(code); });
  mosquitto_disconnect_callback_set(client, [](mosquitto*, void* self, int code) {
    static_cast<State*>(self)->OnDisconnect(code);
  });
  mosquitto_message_callback_set(client,
                                 [](mosquitto*, void* self, const mosquitto_message* message) {
                                   if (message) static_cast<State*>(self)->OnMessage(*message);
                                 });
}

void MqttClient::Start() {
  State& state = *state_;
  if (state.thread.joinable()) return;
  state.thread = std::jthread([&state](std::stop_token stop) { state.Run(stop); });
}

MqttClient::~MqttClient() {
  Close();
}

bool MqttClient::Publish(const MqttMessage& message) {
  if (!state_->connected || state_->closing) return false;
  return state_->Send(message);
}

bool MqttClient::Connected() const {
  return state_->connected;
}

void MqttClient::Close(std::optional<MqttMessage> farewell) {
  if (!state_->thread.joinable()) return;
  {
    std::lock_guard lock(state_->farewellMutex);
    state_->farewell = std::move(farewell);
  }
  state_->thread.request_stop();
  state_->thread.join();
}

}  // namespace tablica::service::mqtt
