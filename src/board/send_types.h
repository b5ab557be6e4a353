#pragma once

// What a Send is asked to do and how it ended, shared by the Send command
// and the board session that front ends use.

#include "board/bitmap.h"

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

}  // namespace tablica
