#include "board/send_command.h"

namespace tablica {

namespace {

// The message that refuses a picture, or null when it can be sent.
const char* RefusalFor(const Bitmap& picture) {
  switch (CheckPicture(picture)) {
    case PictureCheck::NotOneBit:
      return messages::kNotOneBit;
    case PictureCheck::TooLarge:
      return messages::kTooLarge;
    case PictureCheck::Fits:
      break;
  }
  return nullptr;
}

}  // namespace

SendResult RunSendCommand(const WriteBlockFn& write, BoardFrame& frame,
                          const ShowMessageFn& showMessage, const SendRequest& request) {
  // Without a second file the second board repeats the first picture.
  const Bitmap& secondPicture = request.secondFileChosen ? request.second : request.first;

  // Both pictures are checked before anything goes out, so a refusal never
  // leaves one board updated and the other not.
  const char* refusal = RefusalFor(request.first);
  if (refusal == nullptr && request.secondBoard) refusal = RefusalFor(secondPicture);
  if (refusal != nullptr) {
    showMessage(refusal);
    return SendResult::Refused;
  }

  BuildBoardFrame(frame, request.first, request.secondBoard);
  bool failed = write(frame.bytes.data(), static_cast<std::int32_t>(kFrameSize));
  if (request.secondBoard) {
    // Goes out even when the first write failed: the writer itself tells
    // the user when it has had to give up the port.
    FillImageArea(frame, secondPicture);
    StoreChecksum(frame);
    failed |= write(frame.SecondBoardBlock(), static_cast<std::int32_t>(kBlockSize));
  }
  return failed ? SendResult::WriteFailed : SendResult::Sent;
}

}  // namespace tablica
