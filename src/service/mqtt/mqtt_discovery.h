#pragma once

// Home Assistant's MQTT discovery: four retained messages under
// homeassistant/ describe the board as one device with four entities, so
// that it appears in Home Assistant without any configuration:
//   text    "Tekst"              sends a line (or two, split by '|') to the
//                                board; shows the text the board shows
//   button  "Wygaś"              blanks the board
//   sensor  "Ostatnie wysłanie"  the last send's result ("OK", the link's
//                                message, "brak", or why a message was
//                                refused), the status's lasting parts as
//                                attributes
//   image   (the device's name)  the board's dots as a PNG picture
// Every entity follows the board's availability topic; the device links
// to the board's page.

#include <string>
#include <vector>

#include "service/mqtt/mqtt_client.h"
#include "service/mqtt/mqtt_topics.h"

namespace tablica::service::mqtt {

inline constexpr std::string_view kDiscoveryPrefix = "homeassistant";

// Characters of a line of the board's own font on the board; the text
// entity takes two of them, with the '|' between.
inline constexpr int kLineCharacters = 16;

// The four configuration messages (retained), for `topics`' board, the
// service's `version` and the address of its page.
std::vector<MqttMessage> DiscoveryMessages(const BoardTopics& topics, const std::string& version,
                                           const std::string& pageUrl);

}  // namespace tablica::service::mqtt
