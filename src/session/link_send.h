#pragma once

// The Send command on the serial link: no port chosen is said and nothing
// is written; otherwise the frame (and block) go out through the link.

#include "board/send_command.h"
#include "serial/serial_link.h"

namespace tablica {

SendResult RunSendCommand(SerialLink& link, BoardFrame& frame, const ShowMessageFn& showMessage,
                          const SendRequest& request);

}  // namespace tablica
