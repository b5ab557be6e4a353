#pragma once

// How fast the picture window's preview follows a change: the time from a
// change of a control to the preview repainted, as medians over many
// changes. Needs a QApplication and a display (bench/run gives it Xvfb).

#include <optional>

namespace tablica::bench {

struct PreviewFigures {
  double openPhotoSeconds = 0;    // opening the 12-megapixel JPEG (decoding it once)
  double photoSliderSeconds = 0;  // median: threshold slider moved, photo shown
  double placementSeconds = 0;    // median: placement changed back and forth, photo shown
  double textSeconds = 0;         // median: a letter of two text lines changed
  int changes = 0;                // changes behind each median
};

std::optional<PreviewFigures> MeasurePreview(int changes);

}  // namespace tablica::bench
