#pragma once

// The pages the "Pokaz" tab adds to a show, made from what the other tabs
// hold, and how its page list names them. No widgets: the tab shows what
// these make.

#include <QString>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include "picture/convert_options.h"
#include "show/show_model.h"

namespace tablica::show_pages {

// How long a still page shows when it is added; the user changes it.
inline constexpr std::chrono::milliseconds kStillPageLength{5000};
// How long a clock page shows when it is added.
inline constexpr std::chrono::milliseconds kClockPageLength{10000};

// The picture tab's file with its choices (placement, dots, level, lit).
show::PageModel PicturePage(const std::filesystem::path& picture,
                            const picture::ConvertOptions& choices);
// The text tab's lines with their font, size and alignment.
show::PageModel TextPage(const picture::ConvertOptions& text);
// The text tab's lines as one line moving across the board, in its font
// and size, at the usual speed, one pass.
show::PageModel ScrollPage(const picture::ConvertOptions& text);
// The time and (unless not `withDate`) the date, in the text's usual font.
show::PageModel ClockPage(bool withDate = true);
// An animation file, each frame converted with the picture tab's choices;
// one loop.
show::PageModel AnimationPage(const std::filesystem::path& animation,
                              const picture::ConvertOptions& choices);

// The page split into zones: a page that fills the board becomes one zone
// of the whole board first, then `content` is added over it, as large as
// the board (the user then gives it its place).
void AddZone(show::PageModel& page, show::ContentModel content);
// The content the fields edit: zone `zone` (0-based) of a page in zones,
// else the page's own.
show::ContentModel& EditedContent(show::PageModel& page, int zone);

// Departures or a data line with their usual settings and no source yet
// (the user gives it), shown as long as a clock page.
show::PageModel LivePage(show::ContentKind kind);

// Whether a live content's source is an http or https address (else a file).
bool IsAddress(const std::string& source);

// Whether anything on the page moves (a scrolling line, an animation), so
// that it may last its passes instead of a number of seconds.
bool Moves(const show::PageModel& page);
// The page's length in passes: its moving content's `times`, on either board.
std::optional<int> Passes(const show::PageModel& page);
// Sets the page to last `length` (unset: its passes, for a page that moves;
// its passes then count again from one).
void SetSeconds(show::PageModel& page, std::optional<std::chrono::milliseconds> length);
// Sets the passes of the page's moving content (the page then lasts them).
void SetPasses(show::PageModel& page, int passes);

// The page's line in the list: "2. Tekst: Peron 3 / odjazd 12:45 (5 s)".
QString Describe(const show::PageModel& page, int number);
// A zone's line in its page's zone list: "2. 96,0 32×16 Zegar: {time:HH:mm}".
QString DescribeZone(const show::ZoneModel& zone, int number);

}  // namespace tablica::show_pages
