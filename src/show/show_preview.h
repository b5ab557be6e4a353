#pragma once

// A show's first pass as the board would get it, without a board: the
// player on a simulated clock at 38400 baud, each frame drawn as the
// virtual board draws it into a numbered PNG file (with the second board
// beside the first, as it shows at that moment, when the show uses it), and
// timing.txt with the moment of each (for checking a show, and for the
// user's guide's moving picture of one).

#include <QDateTime>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "show/show_timeline.h"

namespace tablica::show {

struct PreviewResult {
  int frames = 0;
  std::string error;  // Polish
};

// More frames than this are not written (minutes of a scrolling line).
inline constexpr int kMostPreviewFrames = 10'000;
// A pass longer than this is refused before any frame is written (a slow
// line scrolled a million times would take days to draw).
inline constexpr std::chrono::hours kLongestPreview{1};

// Plays one pass of `timeline` (blank ranges aside: the preview shows the
// content) from local time `start` into `folder`, which is made when
// missing: klatka-00001.png ... and timing.txt, a line a frame: the file's
// name and its moment in seconds since the show started. A show whose
// page lasts for ever gives its first frame.
PreviewResult WriteShowPreview(std::unique_ptr<ShowTimeline> timeline,
                               const std::filesystem::path& folder, const QDateTime& start);

}  // namespace tablica::show
