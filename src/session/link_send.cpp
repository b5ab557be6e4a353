#include "session/link_send.h"

namespace tablica {

SendResult RunSendCommand(SerialLink& link, BoardFrame& frame, const ShowMessageFn& showMessage,
                          const SendRequest& request) {
  if (link.Settings().portNumber == kNoPort) {
    showMessage(messages::kNoPortChosen);
    return SendResult::NoPort;
  }
  const WriteBlockFn write = [&link](std::uint8_t* block, std::int32_t length) {
    return link.WriteComBlock(block, length);
  };
  return RunSendCommand(write, frame, showMessage, request);
}

}  // namespace tablica
