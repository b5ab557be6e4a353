#include "service/mqtt/mqtt_discovery.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

namespace tablica::service::mqtt {

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// One entity's configuration: what every entity of the board has, and its own fields.
MqttMessage Entity(const BoardTopics& topics, const std::string& version, const char* component,
                   const char* object, const char* name, QJsonObject fields) {
  const std::string node = "tablica_" + topics.Name();
  fields.insert("name", QString::fromUtf8(name));
  fields.insert("unique_id", Q(node + "_" + object));
  fields.insert("availability_topic", Q(topics.Availability()));
  fields.insert("payload_available", QString::fromUtf8(kOnline.data(), kOnline.size()));
  fields.insert("payload_not_available", QString::fromUtf8(kOffline.data(), kOffline.size()));
  fields.insert("device", QJsonObject{
                              {"identifiers", QJsonArray{Q("zapis-bitmapy-" + topics.Name())}},
                              {"name", Q("Tablica " + topics.Name())},
                              {"manufacturer", "The zapis-bitmapy authors"},
                              {"model", QString::fromUtf8("Tablica informacyjna 128 × 32")},
                              {"sw_version", Q(version)},
                          });
  fields.insert("origin", QJsonObject{{"name", "tablica-serwer"}, {"sw_version", Q(version)}});
  MqttMessage message;
  message.topic =
      std::string(kDiscoveryPrefix) + "/" + component + "/" + node + "/" + object + "/config";
  message.payload = QJsonDocument(fields).toJson(QJsonDocument::Compact).toStdString();
  message.retain = true;
  return message;
}

}  // namespace

std::vector<MqttMessage> DiscoveryMessages(const BoardTopics& topics, const std::string& version) {
  const QString status = Q(topics.Status());
  return {
      // Home Assistant's text box has one line: '|' stands for a line break.
      Entity(topics, version, "text", "text", "Tekst",
             {{"command_topic", Q(topics.CommandTopic(Command::Text))},
              {"command_template", "{{ value | replace('|', '\\n') }}"},
              {"max", 255},
              {"icon", "mdi:message-text"}}),
      Entity(topics, version, "button", "blank", "Wygaś",
             {{"command_topic", Q(topics.CommandTopic(Command::Blank))},
              {"payload_press", "PRESS"},
              {"icon", "mdi:monitor-off"}}),
      Entity(topics, version, "sensor", "last_send", "Ostatnie wysłanie",
             {{"state_topic", status},
              {"value_template",
               "{% if value_json.last_send is none %}brak{% elif value_json.last_send.ok %}OK"
               "{% else %}{{ value_json.last_send.message }}{% endif %}"},
              {"json_attributes_topic", status},
              {"icon", "mdi:send-check"}}),
      Entity(topics, version, "image", "board", "Tablica",
             {{"image_topic", Q(topics.Image())}, {"content_type", "image/png"}}),
  };
}

}  // namespace tablica::service::mqtt
