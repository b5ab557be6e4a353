#pragma once

#include "board/bitmap.h"
#include "board/board_frame.h"
#include "serial/serial_link.h"

namespace tablica {

namespace messages {
inline constexpr const char* kNotOneBit = "Bitmapa musi być jednobitowa (czarno-biała).";
inline constexpr const char* kTooLarge = "Bitmapa jest za duża: tablica ma 128 × 32 punkty.";
}  // namespace messages

struct SendRequest {
  const Bitmap& first;
  const Bitmap& second;
  bool secondBoard = false;       // the CAN check box
  bool secondFileChosen = false;  // the second file-name box is not empty
};

enum class SendResult {
  Sent,         // every write completed
  NoPort,       // no port chosen: message shown, nothing written
  Refused,      // a picture cannot go to the board: message shown, nothing written
  WriteFailed,  // a write failed (its message, if any, was shown by the link)
};

// The Send command ("&Wyślij"): checks the pictures, builds the board frame,
// writes it, and with the CAN box writes the second-board block behind it.
// The frame is left untouched when nothing is written.
SendResult RunSendCommand(SerialLink& link, BoardFrame& frame, const ShowMessageFn& showMessage,
                          const SendRequest& request);

}  // namespace tablica
