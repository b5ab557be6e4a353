// The MQTT side's rules without a broker: which topic carries which command
// to which board, how a text payload becomes lines, Home Assistant's
// discovery pointing at the topics the board really uses, and the pace of
// what the board publishes.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>

#include "service/mqtt/mqtt_discovery.h"
#include "service/mqtt/mqtt_pacer.h"
#include "service/mqtt/mqtt_publisher.h"
#include "service/mqtt/mqtt_topics.h"

namespace tablica::service::mqtt {
namespace {

using namespace std::chrono_literals;

TEST(MqttTopics, EachTopicReachesOnlyItsBoardEveryBoardOrItsGroups) {
  const BoardTopics topics("peron-3", {"perony", "hala"});
  const struct {
    const char* topic;
    std::optional<Command> command;
  } cases[] = {
      {"tablica/peron-3/text", Command::Text},
      {"tablica/peron-3/picture", Command::Picture},
      {"tablica/peron-3/show", Command::Show},
      {"tablica/peron-3/notify", Command::Notify},
      {"tablica/peron-3/blank", Command::Blank},
      {"tablica/peron-3/notify/cancel", Command::Cancel},
      {"tablica/all/text", Command::Text},
      {"tablica/all/blank", Command::Blank},
      {"tablica/group/perony/text", Command::Text},
      {"tablica/group/hala/notify", Command::Notify},
      {"tablica/group/kasy/text", std::nullopt},  // a group it is not in
      {"tablica/group/peron-3/text", std::nullopt},
      {"tablica/group/perony", std::nullopt},
      {"tablica/perony/text", std::nullopt},     // a group is not a board
      {"tablica/peron-4/text", std::nullopt},    // another board
      {"tablica/peron-3x/text", std::nullopt},   // a name that only starts the same
      {"tablica/peron/text", std::nullopt},      // a name this one starts with
      {"tablica/peron-3/status", std::nullopt},  // what the board publishes itself
      {"tablica/peron-3/availability", std::nullopt},
      {"tablica/peron-3/instance", std::nullopt},
      {"tablica/peron-3/image", std::nullopt},
      {"tablica/peron-3/text/more", std::nullopt},
      {"tablica/peron-3/", std::nullopt},
      {"tablica/peron-3", std::nullopt},
      {"tablice/peron-3/text", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(topics.CommandOf(c.topic), c.command) << c.topic;
  }
}

TEST(MqttTopics, SubscriptionsAreExactlyTheCommandTopicsOfTheBoardOfAllAndOfItsGroups) {
  const BoardTopics topics("hala_A", {"hala"});
  const std::vector<std::string> subscriptions = topics.Subscriptions();
  const std::set<std::string> unique(subscriptions.begin(), subscriptions.end());
  EXPECT_EQ(unique.size(), 18u);
  for (const std::string& topic : subscriptions) {
    EXPECT_EQ(topic.find_first_of("+#"), std::string::npos) << topic;
    EXPECT_TRUE(topics.CommandOf(topic)) << topic;
  }
  for (Command command : {Command::Text, Command::Picture, Command::Show, Command::Notify,
                          Command::Cancel, Command::Blank}) {
    EXPECT_TRUE(unique.contains(topics.CommandTopic(command)));
    EXPECT_EQ(topics.CommandOf(topics.CommandTopic(command)), command);
  }
  EXPECT_EQ(topics.Status(), "tablica/hala_A/status");
  EXPECT_EQ(topics.Availability(), "tablica/hala_A/availability");
}

TEST(MqttTopics, TextPayloadIsOneLinePerLineOfStrictUtf8) {
  using Lines = std::vector<std::string>;
  const struct {
    std::string payload;
    std::optional<Lines> lines;
  } cases[] = {
      {"Peron 3", Lines{"Peron 3"}},
      {"Peron 3\nodjazd 12:45", Lines{"Peron 3", "odjazd 12:45"}},
      {"Peron 3\r\nodjazd\r\n", Lines{"Peron 3", "odjazd"}},  // from a Windows editor
      {"Zażółć\n", Lines{"Zażółć"}},
      {"a\n\nb", Lines{"a", "", "b"}},  // three lines: the service says it does not fit
      {" ", Lines{" "}},
      {"", std::nullopt},
      {"\n", std::nullopt},
      {"\r\n", std::nullopt},
      {"Za\xC5", std::nullopt},            // cut in the middle of a letter
      {"\xC0\xAF", std::nullopt},          // an overlong '/'
      {"\xED\xA0\x80", std::nullopt},      // a UTF-16 surrogate
      {"\xF4\x90\x80\x80", std::nullopt},  // above U+10FFFF
      {"\xB3\xF3\xBF", std::nullopt},      // "łóż" in Windows-1250
      {std::string("a\0b", 3), Lines{std::string("a\0b", 3)}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TextLines(c.payload), c.lines) << c.payload;
  }
}

QJsonObject Json(const std::string& text) {
  return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
}

std::string Str(const QJsonObject& object, const char* key) {
  return object.value(key).toString().toStdString();
}

TEST(MqttDiscovery, FiveRetainedEntitiesOfOneDeviceOnTheBoardsOwnTopics) {
  const BoardTopics topics("peron-3");
  const std::vector<MqttMessage> messages =
      DiscoveryMessages(topics, "1.2.3", "http://tablica:8080/");
  ASSERT_EQ(messages.size(), 5u);
  std::set<std::string> uniqueIds;
  std::set<std::string> components;
  QJsonObject device;
  for (const MqttMessage& message : messages) {
    SCOPED_TRACE(message.topic);
    EXPECT_TRUE(message.retain);
    const QJsonObject config = Json(message.payload);
    ASSERT_FALSE(config.isEmpty());
    // homeassistant/<component>/<node>/<object>/config
    const QStringList parts = QString::fromStdString(message.topic).split('/');
    ASSERT_EQ(parts.size(), 5);
    EXPECT_EQ(parts[0], "homeassistant");
    EXPECT_EQ(parts[2], "tablica_peron-3");
    EXPECT_EQ(parts[4], "config");
    components.insert(parts[1].toStdString());
    uniqueIds.insert(Str(config, "unique_id"));
    // The picture is the device's main feature: named as the device alone.
    EXPECT_EQ(config.value("name").isNull(), parts[1] == "image");
    EXPECT_EQ(Str(config, "availability_topic"), topics.Availability());
    EXPECT_EQ(Str(config, "payload_available"), kOnline);
    EXPECT_EQ(Str(config, "payload_not_available"), kOffline);
    if (device.isEmpty()) device = config.value("device").toObject();
    EXPECT_EQ(config.value("device").toObject(), device);  // one device for all
    const std::string part = parts[1].toStdString();
    if (part == "text") {
      EXPECT_EQ(topics.CommandOf(Str(config, "command_topic")), Command::Text);
      EXPECT_EQ(config.value("max").toInt(), 33);  // two lines of 16 and the '|'
      EXPECT_EQ(Str(config, "state_topic"), topics.Status());
    } else if (part == "button") {
      EXPECT_EQ(topics.CommandOf(Str(config, "command_topic")), Command::Blank);
    } else if (part == "sensor") {
      EXPECT_EQ(Str(config, "state_topic"), topics.Status());
      EXPECT_EQ(Str(config, "json_attributes_topic"), topics.Status());
      EXPECT_NE(Str(config, "value_template").find("refused"), std::string::npos);
      // Nothing that changes with every frame.
      const std::string attributes = Str(config, "json_attributes_template");
      for (const char* counter : {"sends", "last_send", "at"}) {
        EXPECT_EQ(attributes.find(std::string("'") + counter + "'"), std::string::npos);
      }
    } else if (part == "binary_sensor") {
      EXPECT_EQ(Str(config, "state_topic"), topics.Status());
      EXPECT_EQ(Str(config, "device_class"), "connectivity");
      EXPECT_NE(Str(config, "value_template").find("connected"), std::string::npos);
    } else if (part == "image") {
      EXPECT_EQ(Str(config, "image_topic"), topics.Image());
      EXPECT_EQ(Str(config, "content_type"), "image/png");
    }
  }
  EXPECT_EQ(components,
            (std::set<std::string>{"text", "button", "sensor", "binary_sensor", "image"}));
  EXPECT_EQ(uniqueIds.size(), 5u);
  EXPECT_EQ(device.value("identifiers").toArray().size(), 1);
  EXPECT_EQ(device.value("sw_version").toString(), "1.2.3");
  EXPECT_EQ(device.value("configuration_url").toString(), "http://tablica:8080/");
  // Another board is another device with other entities.
  const std::vector<MqttMessage> other =
      DiscoveryMessages(BoardTopics("peron-4"), "1.2.3", "http://tablica:8080/");
  for (std::size_t i = 0; i < other.size(); ++i) {
    EXPECT_NE(other[i].topic, messages[i].topic);
    EXPECT_NE(Json(other[i].payload).value("device"), device);
  }
}

TEST(MqttPacer, AtMostOnceAnIntervalAndTheLastNewsAlwaysGoesOut) {
  using T = Pacer::Clock::time_point;
  const T start{};
  Pacer pacer(1s);
  EXPECT_TRUE(pacer.Offer(start));  // the first at once
  EXPECT_FALSE(pacer.Due());
  EXPECT_FALSE(pacer.Offer(start + 100ms));  // too soon: waits
  EXPECT_FALSE(pacer.Offer(start + 600ms));  // still one waiting
  ASSERT_TRUE(pacer.Due());
  EXPECT_EQ(*pacer.Due(), start + 1s);
  EXPECT_FALSE(pacer.Take(start + 999ms));
  EXPECT_TRUE(pacer.Take(start + 1s));  // the newest, once
  EXPECT_FALSE(pacer.Take(start + 5s));
  EXPECT_FALSE(pacer.Due());
  EXPECT_FALSE(pacer.Offer(start + 1500ms));  // counted from the last publication
  EXPECT_TRUE(pacer.Offer(start + 2s));       // due by now: goes out with this news
  EXPECT_FALSE(pacer.Due());
  EXPECT_TRUE(pacer.Offer(start + 10s));  // after a quiet spell, at once

  Pacer settling(5s, 1s);  // the picture: never at once
  EXPECT_FALSE(settling.Offer(start));
  EXPECT_FALSE(settling.Offer(start + 500ms));
  EXPECT_EQ(settling.Due(), start + 1s);
  EXPECT_TRUE(settling.Take(start + 1s));
  EXPECT_FALSE(settling.Offer(start + 2s));
  EXPECT_EQ(settling.Due(), start + 6s);  // the interval from the last
  EXPECT_TRUE(settling.Take(start + 6s));
  EXPECT_FALSE(settling.Offer(start + 20s));
  EXPECT_EQ(settling.Due(), start + 21s);
}

BoardDots DotsLit(int count) {
  BoardDots dots;
  for (int i = 0; i < count; ++i) dots.SetLit(i % kBoardWidth, i / kBoardWidth);
  return dots;
}

// What a publisher gave the broker, kept for a test.
class Recorder {
 public:
  bool Publish(const MqttMessage& message) {
    std::lock_guard lock(mutex_);
    published_.push_back(message);
    return true;
  }
  std::vector<MqttMessage> Published() {
    std::lock_guard lock(mutex_);
    return published_;
  }
  // Waits up to 5 s until `count` messages have been published.
  bool WaitForCount(std::size_t count) {
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (Published().size() < count) {
      if (std::chrono::steady_clock::now() >= until) return false;
      std::this_thread::sleep_for(20ms);
    }
    return true;
  }
  // The payload last published on `topic`, waiting up to `patience` for `wanted`.
  std::string LastOn(const std::string& topic, const std::string& wanted,
                     std::chrono::milliseconds patience = 5s) {
    const auto until = std::chrono::steady_clock::now() + patience;
    std::string last;
    do {
      for (const MqttMessage& message : Published()) {
        if (message.topic == topic) last = message.payload;
      }
      if (last == wanted) break;
      std::this_thread::sleep_for(20ms);
    } while (std::chrono::steady_clock::now() < until);
    return last;
  }

 private:
  std::mutex mutex_;
  std::vector<MqttMessage> published_;
};

// Frames written much faster than the pace: the broker gets few messages,
// never more than one an interval, and the newest status and picture in
// the end.
TEST(MqttPublisher, PacesAStreamOfFramesAndPublishesTheNewestInTheEnd) {
  Recorder recorder;
  std::atomic<int> frame = 0;
  const BoardTopics topics("peron-3");
  PublisherSetup setup{topics,
                       [&] { return std::to_string(frame.load()); },
                       [&] { return DotsLit(frame.load()); },
                       [](const BoardDots& dots) { return DrawDotsText(dots); },
                       [&](const MqttMessage& message) { return recorder.Publish(message); },
                       100ms,
                       300ms,
                       50ms};
  const auto start = std::chrono::steady_clock::now();
  BoardPublisher publisher(setup);
  constexpr int kFrames = 60;
  for (int i = 1; i <= kFrames; ++i) {
    frame = i;
    publisher.FrameWritten();
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_EQ(recorder.LastOn(topics.Status(), std::to_string(kFrames)), std::to_string(kFrames));
  EXPECT_EQ(recorder.LastOn(topics.Image(), DrawDotsText(DotsLit(kFrames))),
            DrawDotsText(DotsLit(kFrames)));
  const auto intervals = [&](std::chrono::milliseconds interval) {
    return static_cast<int>((std::chrono::steady_clock::now() - start) / interval) + 1;
  };
  int statuses = 0;
  int images = 0;
  for (const MqttMessage& message : recorder.Published()) {
    EXPECT_TRUE(message.retain);
    statuses += message.topic == topics.Status();
    images += message.topic == topics.Image();
  }
  EXPECT_GE(statuses, 2);
  EXPECT_LE(statuses, intervals(100ms));
  EXPECT_GE(images, 2);
  EXPECT_LE(images, intervals(300ms));

  // The same dots again change no picture; the status still follows.
  const std::size_t before = recorder.Published().size();
  std::this_thread::sleep_for(350ms);
  publisher.FrameWritten();
  // The publisher's thread sends it when it can; then nothing else follows.
  ASSERT_TRUE(recorder.WaitForCount(before + 1));
  EXPECT_EQ(recorder.LastOn(topics.Status(), "60"), "60");
  std::this_thread::sleep_for(350ms);
  const std::vector<MqttMessage> after = recorder.Published();
  EXPECT_EQ(after.size(), before + 1);
  EXPECT_EQ(after.back().topic, topics.Status());
}

}  // namespace
}  // namespace tablica::service::mqtt
