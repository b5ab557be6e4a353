#pragma once

// The frames of an animated picture (GIF, or any format with several frames
// that Qt reads), read one after another and each made into the board's
// dots at once: a frame's picture is dropped before the next is decoded, so
// a long animation of large frames never sits in memory, only its dots
// (512 bytes a frame).

#include <chrono>
#include <string>
#include <vector>

#include "board/board_dots.h"
#include "picture/convert_options.h"
#include "show/show_model.h"

namespace tablica::show {

struct AnimationFrame {
  BoardDots dots;
  std::chrono::milliseconds delay{0};  // how long the frame shows
};

struct AnimationResult {
  std::vector<AnimationFrame> frames;
  std::string error;  // Polish, starting in lower case
  bool Ok() const { return error.empty(); }
};

// Every frame of `source`, converted with `options`' picture choices. A
// damaged or cut-off file, a frame over 64 megapixels and more than
// `maxFrames` frames are refused.
AnimationResult ReadAnimation(const PictureSource& source, const picture::ConvertOptions& options,
                              int maxFrames);

// A frame that gives no delay (or one too short to show) stays this long,
// as browsers show such frames.
inline constexpr std::chrono::milliseconds kShortestFrameDelay{20};
inline constexpr std::chrono::milliseconds kUnstatedFrameDelay{100};

}  // namespace tablica::show
