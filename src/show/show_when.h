#pragma once

// When a page is due: its rule against the local wall clock, and the text
// forms of its times and dates as a show file writes them. The rule is
// about the wall clock alone: on the day the clocks go forward a time in
// the missing hour never comes (a range over it starts at the first minute
// that exists), and on the day they go back a time in the doubled hour
// comes twice, and so does a page due then.

#include <QDate>
#include <QDateTime>
#include <optional>
#include <string>
#include <string_view>

#include "show/show_model.h"

namespace tablica::show {

inline constexpr int kMinutesADay = 24 * 60;

// Whether `rule` holds at `local` (its own time zone's wall clock). A time
// range that passes midnight counts for the days and dates of the day it
// started on: Friday 22:00 to 02:00 holds early on Saturday too.
bool WhenHolds(const WhenRule& rule, const QDateTime& local);

// "06:30" in minutes since midnight; "24:00" only when `endOfDay`.
std::optional<int> MinuteOfDay(std::string_view text, bool endOfDay);
std::string DayTimeText(int minutes);  // "06:30"

// "2026-12-24" (one day) or "2026-12-27..2027-01-06" (both ends included,
// the first not after the last).
std::optional<DateRange> DateRangeOfText(std::string_view text);
std::string DateRangeText(const DateRange& range);

std::chrono::year_month_day DayOf(const QDate& date);
QDate DateOf(const std::chrono::year_month_day& day);

}  // namespace tablica::show
