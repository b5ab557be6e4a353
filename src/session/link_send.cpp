#include "session/link_send.h"

#include <vector>

namespace tablica {

SendResult RunSendCommand(SerialLink& link, BoardFrame& frame, const ShowMessageFn& showMessage,
                          const SendRequest& request) {
  if (link.Settings().portNumber == kNoPort) {
    showMessage(messages::kNoPortChosen);
    return SendResult::NoPort;
  }
  // The first write is the frame, the second the block behind it. A block
  // whose write has to open the port anew follows a frame that may never
  // have reached the board whole: the frame goes again ahead of it.
  std::vector<std::uint8_t> frameWritten;
  const WriteBlockFn write = [&link, &frameWritten](std::uint8_t* block, std::int32_t length) {
    if (frameWritten.empty()) {
      frameWritten.assign(block, block + length);
      return link.WriteComBlock(block, length);
    }
    return link.WriteComBlock(block, length, &frameWritten);
  };
  return RunSendCommand(write, frame, showMessage, request);
}

}  // namespace tablica
