#pragma once

// How a picture or a text becomes the board's dots, and the command-line
// options that say so. One parser serves tablica-convert and
// tablica-send --convert; the option names double as the values' names
// wherever they are shown. Plain C++: no Qt needed to parse.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "board/board_dots.h"

namespace tablica::picture {

// Where the picture lands on the 128 x 32 board.
enum class Placement {
  Fit,      // whole picture, proportions kept, centred; the rest unlit
  Fill,     // covers the board, proportions kept, the overflow cut evenly
  Stretch,  // scaled to exactly 128 x 32
  None,     // 1:1 from the top-left corner, cut at the board's edge
};

// How brightness becomes lit and unlit dots.
enum class DotsMethod {
  Threshold,  // one level for every dot (a fixed level or Otsu's, see level)
  Diffusion,  // Floyd-Steinberg error diffusion
  Ordered,    // an 8 x 8 Bayer matrix
};

// Which parts of the picture light the board's dots.
enum class LitSide {
  Dark,    // dark parts light up (black lights a dot, as in the tool's bitmaps)
  Bright,  // bright parts light up (photos, light-on-dark pictures)
};

enum class Alignment { Left, Centre, Right };

inline constexpr int kMaxTextLines = 2;

struct ConvertOptions {
  // For pictures.
  Placement placement = Placement::Fit;
  DotsMethod dots = DotsMethod::Threshold;
  std::optional<int> level;  // threshold level 0..255; unset: automatic (Otsu)
  LitSide lit = LitSide::Dark;

  // For text: one or two lines (UTF-8) whose letters are the lit dots.
  // Empty: there is no text, a picture is converted.
  std::vector<std::string> text;
  std::string font;         // family name or font file; empty: GNU Unifont
  std::optional<int> size;  // pixel size; unset: the largest that fits
  Alignment align = Alignment::Centre;

  // The area drawn into, from the board's top-left corner: the whole board,
  // or a zone's size when a page is split into zones. Text is fitted and a
  // picture placed within it; no dot outside it is lit.
  int width = kBoardWidth;
  int height = kBoardHeight;

  bool HasText() const { return !text.empty(); }
  friend bool operator==(const ConvertOptions&, const ConvertOptions&) = default;
};

// Names as the options spell them ("fit", "diffusion", "bright", "centre" ...).
std::string_view NameOf(Placement placement);
std::string_view NameOf(DotsMethod method);
std::string_view NameOf(LitSide lit);
std::string_view NameOf(Alignment align);
std::optional<Placement> PlacementNamed(std::string_view name);
std::optional<DotsMethod> DotsMethodNamed(std::string_view name);
std::optional<LitSide> LitSideNamed(std::string_view name);
std::optional<Alignment> AlignmentNamed(std::string_view name);  // also "center"

enum class OptionTake {
  NotMine,  // args[i] is none of the conversion options
  Taken,    // stored in options; i is on the option's last word
  Failed,   // one of ours, but wrong: error says why (Polish)
};

// Looks at args[i]. A conversion option (--place, --dots, --lit, --text,
// --font, --size, --align, each as "--name value" or "--name=value") is
// stored in `options`, and i is moved onto the last word it used. Any other
// word is left alone, for the calling program's own options.
OptionTake TakeConvertOption(const std::vector<std::string>& args, std::size_t& i,
                             ConvertOptions& options, std::string& error);

// Checks the options as a whole once all are taken: text and picture
// options together, a level with a method other than threshold. Returns the
// Polish reason, or empty when they make sense.
std::string CheckConvertOptions(const ConvertOptions& options, bool hasPicture);

// The usage lines of the conversion options (Polish), for --help.
extern const char* const kConvertOptionsUsage;

// A path from UTF-8 text (a command-line word as Qt gives it), on every
// system.
std::filesystem::path PathFromUtf8(const std::string& text);
// A path as UTF-8 text, for messages.
std::string Utf8Name(const std::filesystem::path& path);

}  // namespace tablica::picture
