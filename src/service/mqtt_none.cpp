// A build without an MQTT client library: --mqtt says so.

#include "service/mqtt_bridge.h"

namespace tablica::service {

MqttStart StartMqtt(BoardService&, const MqttOptions&, const std::string&, LogFn) {
  return {nullptr,
          "Ta wersja tablica-serwer jest zbudowana bez MQTT: opcja --mqtt nie działa (HTTP "
          "działa jak zwykle)."};
}

}  // namespace tablica::service
