#pragma once

#include "board/bitmap.h"
#include "board/board_frame.h"
#include "board/send_types.h"
#include "serial/serial_link.h"

namespace tablica {

// The Send command ("&Wyślij"): checks the pictures, builds the board frame,
// writes it, and with the CAN box writes the second-board block behind it.
// The frame is left untouched when nothing is written.
SendResult RunSendCommand(SerialLink& link, BoardFrame& frame, const ShowMessageFn& showMessage,
                          const SendRequest& request);

}  // namespace tablica
