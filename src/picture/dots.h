#pragma once

// Brightness made into lit and unlit dots: a threshold at a level or at
// Otsu's level, Floyd-Steinberg diffusion, or the ordered 8 x 8 pattern;
// the dark or the bright parts lit.

#include "board/board_dots.h"
#include "picture/convert_options.h"
#include "picture/placement.h"

#include <string>

namespace tablica::picture {

// The dots, or why there are none: a Polish message for the user.
struct DotsResult {
  BoardDots dots;
  std::string error;
  bool Ok() const { return error.empty(); }
};

// The dots of a picture part placed on the board (PlaceImage): the part's
// own area by `options`' method and lit side, the rest of the board unlit.
// Transparency shows the unlit background.
BoardDots DotsOnBoard(const OnBoard& placed, const ConvertOptions& options);

}  // namespace tablica::picture
