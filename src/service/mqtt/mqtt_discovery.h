#pragma once

// Home Assistant's MQTT discovery: four retained messages under
// homeassistant/ describe the board as one device with four entities, so
// that it appears in Home Assistant without any configuration:
//   text    "Tekst"              sends a line (or two, split by '|') to the board
//   button  "Wygaś"              blanks the board
//   sensor  "Ostatnie wysłanie"  the last send's result ("OK", the link's
//                                message, or "brak"), the status as attributes
//   image   "Tablica"            the board's dots as a PNG picture
// Every entity follows the board's availability topic.

#include <string>
#include <vector>

#include "service/mqtt/mqtt_client.h"
#include "service/mqtt/mqtt_topics.h"

namespace tablica::service::mqtt {

inline constexpr std::string_view kDiscoveryPrefix = "homeassistant";

// The four configuration messages (retained), for `topics`' board and the
// service's `version`.
std::vector<MqttMessage> DiscoveryMessages(const BoardTopics& topics, const std::string& version);

}  // namespace tablica::service::mqtt
