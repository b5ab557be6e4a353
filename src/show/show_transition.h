#pragma once

// How a page comes onto the board. For half a second after a page change
// the board shows a mix of the page before (as it last stood) and the page
// that comes: pushed out to the left, pushed out upwards, or covered from
// the left edge. The mix is a function of the time into the change, so it
// runs at its pace whatever the frame rate, as a scrolling line does.

#include <chrono>
#include <optional>
#include <string_view>

#include "board/board_dots.h"
#include "show/show_model.h"

namespace tablica::show {

inline constexpr std::chrono::milliseconds kTransitionLength{500};

std::string_view NameOf(Transition transition);  // "none", "slide-left", "slide-up", "wipe"
std::optional<Transition> TransitionNamed(std::string_view name);

// The board `into` (0 to kTransitionLength) a change from `before` to
// `after`: at 0 all `before`, then more and more of `after`.
BoardDots TransitionFrame(const BoardDots& before, const BoardDots& after, Transition transition,
                          std::chrono::milliseconds into);

}  // namespace tablica::show
