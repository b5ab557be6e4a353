#include "show/show_transition.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tablica::show {

namespace {

constexpr std::array<std::pair<Transition, std::string_view>, 4> kNames{{
    {Transition::None, "none"},
    {Transition::SlideLeft, "slide-left"},
    {Transition::SlideUp, "slide-up"},
    {Transition::Wipe, "wipe"},
}};

// How far of `whole` dots the change has come `into` it.
int Travelled(int whole, std::chrono::milliseconds into) {
  const long long done = std::clamp<long long>(into.count(), 0, kTransitionLength.count());
  return static_cast<int>(whole * done / kTransitionLength.count());
}

}  // namespace

std::string_view NameOf(Transition transition) {
  for (const auto& [kind, name] : kNames) {
    if (kind == transition) return name;
  }
  return "none";
}

std::optional<Transition> TransitionNamed(std::string_view name) {
  for (const auto& [kind, known] : kNames) {
    if (known == name) return kind;
  }
  return std::nullopt;
}

BoardDots TransitionFrame(const BoardDots& before, const BoardDots& after, Transition transition,
                          std::chrono::milliseconds into) {
  if (transition == Transition::None) return after;
  BoardDots mixed;
  const int across = Travelled(kBoardWidth, into);
  const int down = Travelled(kBoardHeight, into);
  for (int y = 0; y < kBoardHeight; ++y) {
    for (int x = 0; x < kBoardWidth; ++x) {
      bool lit = false;
      switch (transition) {
        case Transition::SlideLeft:
          lit = x + across < kBoardWidth ? before.IsLit(x + across, y)
                                         : after.IsLit(x + across - kBoardWidth, y);
          break;
        case Transition::SlideUp:
          lit = y + down < kBoardHeight ? before.IsLit(x, y + down)
                                        : after.IsLit(x, y + down - kBoardHeight);
          break;
        case Transition::Wipe:
          lit = x < across ? after.IsLit(x, y) : before.IsLit(x, y);
          break;
        case Transition::None:
          break;
      }
      if (lit) mixed.SetLit(x, y);
    }
  }
  return mixed;
}

}  // namespace tablica::show
