#pragma once

// The board on an MQTT broker (--mqtt): a bridge between the broker's
// topics and the board service, running on a thread of its own until it
// is destroyed. The build picks the bridge: libmosquitto's, or none.

#include <memory>
#include <string>

#include "service/board_service.h"
#include "service/service_options.h"

namespace tablica::service {

class MqttBridge {
 public:
  virtual ~MqttBridge() = default;
};

struct MqttStart {
  std::unique_ptr<MqttBridge> bridge;
  std::string error;  // Polish, when there is no bridge
};

// Connects to the broker for board `name` and keeps connecting while the
// bridge lives.
MqttStart StartMqtt(BoardService& service, const MqttOptions& options, const std::string& name,
                    LogFn log);

}  // namespace tablica::service
