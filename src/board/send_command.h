#pragma once

#include <cstdint>
#include <functional>

#include "board/bitmap.h"
#include "board/board_frame.h"
#include "board/send_types.h"
#include "common/show_message.h"

namespace tablica {

// Where the Send's bytes go: writes `length` bytes of `block`; false when
// all of them went out, true on any failure (which the writer has told the
// user of itself).
using WriteBlockFn = std::function<bool(std::uint8_t* block, std::int32_t length)>;

// The Send command ("&Wyślij") on a chosen port: checks the pictures, builds
// the board frame, writes it, and with the CAN box writes the second-board
// block behind it. The frame is left untouched when nothing is written.
SendResult RunSendCommand(const WriteBlockFn& write, BoardFrame& frame,
                          const ShowMessageFn& showMessage, const SendRequest& request);

}  // namespace tablica
