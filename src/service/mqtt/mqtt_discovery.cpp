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
// A sensor's state may not be longer than this in Home Assistant.
constexpr int kLongestState = 255;

// A null name makes the entity the device's main feature, named as the
// device ("Tablica peron-3", not "Tablica peron-3 Tablica").
MqttMessage Entity(const BoardTopics& topics, const std::string& version, const std::string& page,
                   const char* component, const char* object, const char* name,
                   QJsonObject fields) {
  const std::string node = "tablica_" + topics.Name();
  fields.insert("name", name ? QJsonValue(QString::fromUtf8(name)) : QJsonValue(QJsonValue::Null));
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
                              {"configuration_url", Q(page)},
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

std::vector<MqttMessage> DiscoveryMessages(const BoardTopics& topics, const std::string& version,
                                           const std::string& pageUrl) {
  const QString status = Q(topics.Status());
  const QString longest = QString::number(kLongestState);
  const int textMax = 2 * kLineCharacters + 1;
  return {
      // Home Assistant's text box has one line: '|' stands for a line break.
      // Its state is the text the board shows, cut to what the box takes.
      Entity(topics, version, pageUrl, "text", "text", "Tekst",
             {{"command_topic", Q(topics.CommandTopic(Command::Text))},
              {"command_template", "{{ value | replace('|', '\\n') }}"},
              {"state_topic", status},
              {"value_template", QString("{{ (value_json.text | join('|'))[:%1] }}").arg(textMax)},
              {"max", textMax},
              {"icon", "mdi:message-text"}}),
      Entity(topics, version, pageUrl, "button", "blank", "Wygaś",
             {{"command_topic", Q(topics.CommandTopic(Command::Blank))},
              {"payload_press", "PRESS"},
              {"icon", "mdi:monitor-off"}}),
      // Attributes change only with what the board shows, never with each
      // frame (Home Assistant keeps a history entry for every change).
      Entity(topics, version, pageUrl, "sensor", "last_send", "Ostatnie wysłanie",
             {{"state_topic", status},
              {"value_template",
               "{% if value_json.refused %}{{ ('Odrzucono: ' ~ value_json.refused.message)[:" +
                   longest +
                   "] }}{% elif value_json.last_send is none %}brak"
                   "{% elif value_json.last_send.ok %}OK"
                   "{% else %}{{ value_json.last_send.message[:" +
                   longest + "] }}{% endif %}"},
              {"json_attributes_topic", status},
              {"json_attributes_template",
               "{{ {'port': value_json.port, 'showing': value_json.showing, "
               "'text': value_json.text, 'notice': value_json.notice, "
               "'version': value_json.version} | tojson }}"},
              {"icon", "mdi:send-check"}}),
      // Whether the service reaches its board (the adapter is in).
      Entity(topics, version, pageUrl, "binary_sensor", "connected", "Połączenie z tablicą",
             {{"state_topic", status},
              {"value_template", "{{ 'ON' if value_json.connected else 'OFF' }}"},
              {"device_class", "connectivity"}}),
      Entity(topics, version, pageUrl, "image", "board", nullptr,
             {{"image_topic", Q(topics.Image())}, {"content_type", "image/png"}}),
  };
}

}  // namespace tablica::service::mqtt
