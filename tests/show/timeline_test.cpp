// What the board shows at a moment of a show: pages by their lengths and
// passes, blank ranges by the local time (across midnight too), a clock's
// text, a scrolling line's place by the time and its speed, an animation's
// frame by the delays; all without waiting.

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QImage>
#include <QTimeZone>

#include "picture/convert.h"
#include "show/clock_text.h"
#include "show/show_file.h"
#include "show/show_timeline.h"
#include "show/show_when.h"
#include "show_files.h"
#include "temp_folder.h"

namespace tablica::show {
namespace {

using testing::WriteText;

QDateTime At(int hour, int minute, int second = 0, int msec = 0) {
  return QDateTime(QDate(2024, 5, 1), QTime(hour, minute, second, msec));
}

std::unique_ptr<ShowTimeline> Timeline(const std::string& json,
                                       const std::filesystem::path& folder = ".") {
  const ShowModelResult model =
      ParseShow(QByteArray::fromStdString(json), folder, ShowOrigin::File);
  EXPECT_TRUE(model.show) << Sentence(model.error);
  if (!model.show) return nullptr;
  TimelineResult made = MakeTimeline(*model.show, At(12, 0));
  EXPECT_TRUE(made.timeline) << Sentence(made.error);
  return std::move(made.timeline);
}

BoardDots Text(std::vector<std::string> lines,
               picture::Alignment align = picture::Alignment::Centre) {
  picture::ConvertOptions options;
  options.text = std::move(lines);
  options.align = align;
  const picture::DotsResult drawn = picture::RenderText(options);
  EXPECT_TRUE(drawn.Ok()) << drawn.error;
  return drawn.dots;
}

// `dots` moved `by` columns to the right (left when negative).
BoardDots Shifted(const BoardDots& dots, int by) {
  BoardDots moved;
  for (int y = 0; y < kBoardHeight; ++y) {
    for (int x = 0; x < kBoardWidth; ++x) {
      if (dots.IsLit(x, y)) moved.SetLit(x + by, y);
    }
  }
  return moved;
}

TEST(BlankRange, RangesThatPassMidnightHoldOnBothSides) {
  const BlankRange night{22 * 60, 6 * 60};
  for (int minute : {22 * 60, 23 * 60 + 59, 0, 3 * 60, 6 * 60 - 1})
    EXPECT_TRUE(night.Contains(minute)) << minute;
  for (int minute : {6 * 60, 12 * 60, 22 * 60 - 1}) EXPECT_FALSE(night.Contains(minute)) << minute;
  const BlankRange lunch{12 * 60, 12 * 60 + 30};
  EXPECT_TRUE(lunch.Contains(12 * 60 + 29));
  EXPECT_FALSE(lunch.Contains(12 * 60 + 30));
  EXPECT_FALSE(lunch.Contains(0));
  const BlankRange wholeDay{0, 24 * 60};
  EXPECT_TRUE(wholeDay.Contains(0));
  EXPECT_TRUE(wholeDay.Contains(24 * 60 - 1));
}

// Local time in Warsaw, whatever the machine's zone.
QDateTime Warsaw(QDate day, int hour, int minute) {
  return QDateTime(day, QTime(hour, minute), QTimeZone("Europe/Warsaw"));
}

WhenRule Rule(std::vector<int> days, std::string from, std::string to,
              std::vector<std::string> dates = {}) {
  WhenRule rule{std::move(days), MinuteOfDay(from, false), MinuteOfDay(to, true), {}};
  for (const std::string& date : dates) rule.dates.push_back(*DateRangeOfText(date));
  return rule;
}

TEST(WhenRule, WeekdaysHoursAndDatesHoldByTheWallClock) {
  const QDate wednesday(2026, 12, 9), friday(2026, 12, 11), saturday(2026, 12, 12);
  const WhenRule workdays = Rule({1, 2, 3, 4, 5}, "", "");
  const WhenRule morning = Rule({}, "06:00", "09:30");
  const WhenRule fridayNight = Rule({5}, "22:00", "02:00");
  const WhenRule evenings = Rule({}, "20:00", "");
  const WhenRule holidays = Rule({}, "", "", {"2026-12-24", "2026-12-27..2027-01-06"});
  const WhenRule newYearsEve = Rule({}, "22:00", "02:00", {"2026-12-31"});
  const struct {
    const WhenRule& rule;
    QDateTime local;
    bool holds;
  } table[] = {
      {workdays, Warsaw(wednesday, 12, 0), true},
      {workdays, Warsaw(saturday, 12, 0), false},
      {Rule({7}, "", ""), Warsaw(QDate(2026, 12, 13), 0, 0), true},
      {morning, Warsaw(wednesday, 6, 0), true},
      {morning, Warsaw(wednesday, 9, 29), true},
      {morning, Warsaw(wednesday, 9, 30), false},
      {morning, Warsaw(wednesday, 5, 59), false},
      // A range past midnight belongs to the day it starts on.
      {fridayNight, Warsaw(friday, 23, 0), true},
      {fridayNight, Warsaw(saturday, 1, 59), true},
      {fridayNight, Warsaw(saturday, 2, 0), false},
      {fridayNight, Warsaw(saturday, 23, 0), false},
      {fridayNight, Warsaw(friday, 1, 0), false},
      {evenings, Warsaw(wednesday, 23, 59), true},
      {evenings, Warsaw(wednesday, 19, 59), false},
      {holidays, Warsaw(QDate(2026, 12, 24), 8, 0), true},
      {holidays, Warsaw(QDate(2026, 12, 25), 8, 0), false},
      {holidays, Warsaw(QDate(2027, 1, 1), 8, 0), true},
      {holidays, Warsaw(QDate(2027, 1, 6), 23, 59), true},
      {holidays, Warsaw(QDate(2027, 1, 7), 0, 0), false},
      {newYearsEve, Warsaw(QDate(2027, 1, 1), 1, 0), true},
      {newYearsEve, Warsaw(QDate(2026, 12, 31), 1, 0), false},
  };
  for (const auto& row : table) {
    EXPECT_EQ(WhenHolds(row.rule, row.local), row.holds) << row.local.toString().toStdString();
  }
}

TEST(WhenRule, OnClockChangeDaysTheMissingHourNeverComesAndTheDoubledOneComesTwice) {
  const QDate spring(2026, 3, 29), autumn(2026, 10, 25);
  const struct {
    QDate day;
    WhenRule rule;
    int minutes;        // real minutes the rule holds between midnight and 05:00
    QTime firstMinute;  // the wall-clock minute it first holds
  } table[] = {
      {spring, Rule({}, "02:30", "04:00"), 60, QTime(3, 0)},
      {spring, Rule({}, "02:15", "02:45"), 0, QTime()},
      {spring, Rule({}, "01:30", "03:30"), 60, QTime(1, 30)},
      {autumn, Rule({}, "02:00", "03:00"), 120, QTime(2, 0)},
      {autumn, Rule({}, "02:30", "02:31"), 2, QTime(2, 30)},
      {autumn, Rule({}, "01:00", "04:00"), 240, QTime(1, 0)},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.day.toString().toStdString());
    const QDateTime midnight = Warsaw(row.day, 0, 0);
    int minutes = 0;
    QTime first;
    // Minute by minute of real time, each read on the wall clock.
    for (QDateTime local = midnight; local < Warsaw(row.day, 5, 0); local = local.addSecs(60)) {
      if (!WhenHolds(row.rule, local)) continue;
      if (minutes++ == 0) first = local.time();
    }
    EXPECT_EQ(minutes, row.minutes);
    EXPECT_EQ(first, row.firstMinute);
  }
}

class TimelineTest : public ::testing::Test {
 protected:
  testing_support::TempFolder folder_;
};

TEST_F(TimelineTest, PagesFollowTheirLengthsAndTheShowEndsAfterItsPasses) {
  auto timeline = Timeline(R"({"repeat": 2, "pages": [
      {"text": ["A"], "seconds": 2}, {"text": ["B"], "seconds": 3}]})");
  ASSERT_TRUE(timeline);
  EXPECT_EQ(timeline->PassLength(), milliseconds(5000));
  const BoardDots a = Text({"A"});
  const BoardDots b = Text({"B"});
  const struct {
    int ms;
    int page;
    long long nextChange;
  } table[] = {{0, 0, 2000},    {1999, 0, 2000}, {2000, 1, 5000},
               {4999, 1, 5000}, {5000, 0, 7000}, {9999, 1, 10000}};
  for (const auto& row : table) {
    SCOPED_TRACE(row.ms);
    const Moment moment = timeline->At(milliseconds(row.ms), At(12, 0));
    EXPECT_FALSE(moment.ended);
    EXPECT_FALSE(moment.moving);
    EXPECT_EQ(moment.page, row.page);
    EXPECT_EQ(moment.first, row.page == 0 ? a : b);
    EXPECT_FALSE(moment.second);
    EXPECT_EQ(moment.nextChange.count(), row.nextChange);
  }
  EXPECT_TRUE(timeline->At(milliseconds(10000), At(12, 0)).ended);
  timeline->SetRepeat(0);
  EXPECT_FALSE(timeline->At(milliseconds(1'000'000), At(12, 0)).ended);
}

TEST_F(TimelineTest, BlankRangesAcrossMidnightBlankBothBoardsAndTheShowGoesOnWhereItWouldBe) {
  auto timeline = Timeline(R"({"blank": ["23:00-01:00"], "pages": [
      {"text": ["A"], "seconds": 60}, {"text": ["B"], "second": {"text": ["C"]}, "seconds": 60}]})");
  ASSERT_TRUE(timeline);
  const Moment before = timeline->At(milliseconds(0), At(22, 59, 59, 500));
  EXPECT_FALSE(before.blank);
  // The clock of a blank range is the minute: the page may change at the
  // next one.
  EXPECT_EQ(before.nextChange, milliseconds(500));
  for (const QDateTime& local : {At(23, 0), At(23, 59, 59, 999), At(0, 0), At(0, 59, 30)}) {
    SCOPED_TRACE(local.toString().toStdString());
    const Moment blank = timeline->At(milliseconds(70'000), local);
    EXPECT_TRUE(blank.blank);
    EXPECT_EQ(blank.first.LitCount(), 0);
    ASSERT_TRUE(blank.second);  // the show uses the second board: it goes dark too
    EXPECT_EQ(blank.second->LitCount(), 0);
    EXPECT_FALSE(blank.moving);
    EXPECT_EQ(blank.nextChange,
              milliseconds(70'000) + milliseconds(60'000) -
                  milliseconds(local.time().second() * 1000 + local.time().msec()));
  }
  // Two hours on, at 01:00, the second page of the pass shows.
  const Moment after = timeline->At(milliseconds(7'290'000), At(1, 0));
  EXPECT_FALSE(after.blank);
  EXPECT_EQ(after.page, 1);
  EXPECT_EQ(after.first, Text({"B"}));
  EXPECT_EQ(after.second, Text({"C"}));
  timeline->UseBlankRanges(false);
  EXPECT_FALSE(timeline->At(milliseconds(0), At(0, 0)).blank);
}

TEST_F(TimelineTest, AClockIsFilledInPolishAndChangesWithTheSecond) {
  EXPECT_EQ(FillClock("{time:HH:mm}, {date:d MMMM}", At(9, 5)), "09:05, 1 maja");
  EXPECT_EQ(FillClock("{date:dddd}", At(9, 5)), "środa");
  EXPECT_EQ(FillClock("{time:}|{date:}", At(9, 5)), "09:05|1.05.2024");
  EXPECT_EQ(FillClock("{czas:HH} {time:HH", At(9, 5)), "{czas:HH} {time:HH");

  auto timeline = Timeline(R"({"pages": [{"text": ["{time:HH:mm:ss}"]}]})");
  ASSERT_TRUE(timeline);
  const Moment first = timeline->At(milliseconds(0), At(12, 0, 1, 250));
  EXPECT_EQ(first.first, Text({"12:00:01"}));
  EXPECT_EQ(first.nextChange, milliseconds(750));
  const Moment later = timeline->At(milliseconds(60'000), At(12, 1, 1, 0));
  EXPECT_EQ(later.first, Text({"12:01:01"}));
  EXPECT_EQ(later.nextChange, milliseconds(61'000));
  // A page without a clock shows for ever: nothing to wait for.
  auto still = Timeline(R"({"pages": [{"text": ["A"]}]})");
  EXPECT_EQ(still->At(milliseconds(5), At(12, 0)).nextChange, milliseconds::max());
  EXPECT_FALSE(still->PassLength());
}

TEST_F(TimelineTest, AClockInAFontFileIsDrawnEverySecondWithoutAddingTheFontAgain) {
  const std::string file = "/usr/share/fonts/opentype/unifont/unifont.otf";
  auto timeline =
      Timeline(R"({"pages": [{"text": ["{time:HH:mm:ss}"], "font": ")" + file + R"("}]})");
  ASSERT_TRUE(timeline);
  // Qt numbers the fonts added to the process one after another.
  const int before = QFontDatabase::addApplicationFont(QString::fromStdString(file));
  for (int second = 1; second <= 20; ++second) {
    const Moment moment = timeline->At(milliseconds(second * 1000), At(12, 0, second));
    EXPECT_TRUE(moment.problems.empty());
    EXPECT_GT(moment.first.LitCount(), 0);
  }
  EXPECT_EQ(QFontDatabase::addApplicationFont(QString::fromStdString(file)), before + 1);
}

TEST_F(TimelineTest, AScrollingLineIsTheSameLineShiftedByTheTimeTimesTheSpeed) {
  auto timeline = Timeline(R"({"pages": [{"scroll": "AB", "speed": 40, "times": 2}]})");
  ASSERT_TRUE(timeline);
  // "AB" in GNU Unifont twice enlarged is 32 dots wide: a pass is 32 + 128
  // dots, 4 s at 40 dots a second.
  EXPECT_EQ(timeline->PassLength(), milliseconds(8000));
  const BoardDots line = Text({"AB"}, picture::Alignment::Left);
  for (int ms : {0, 24, 25, 1000, 2512, 3199, 3975, 3999, 4000, 5000}) {
    SCOPED_TRACE(ms);
    const Moment moment = timeline->At(milliseconds(ms), At(12, 0));
    EXPECT_TRUE(moment.moving);
    EXPECT_EQ(moment.nextChange, milliseconds(ms));
    const int moved = (ms % 4000) * 40 / 1000;
    EXPECT_EQ(moment.first, Shifted(line, kBoardWidth - moved));
  }
  EXPECT_FALSE(timeline->At(milliseconds(8000), At(12, 0)).ended);  // repeat 0: again
}

TEST_F(TimelineTest, AnAnimationShowsEachFrameForItsOwnDelayConvertedAlone) {
  // Bars of 4, 8 and 12 of 16 pixels, for 0.1 s, 0.25 s and an unstated
  // delay (shown 0.1 s).
  WriteText(folder_.path() / "flaga.gif",
            testing::GifBytes(16, 8,
                              {testing::BarFrame(16, 8, 4, 10), testing::BarFrame(16, 8, 8, 25),
                               testing::BarFrame(16, 8, 12, 0)}));
  auto timeline = Timeline(
      R"({"pages": [{"animation": "flaga.gif", "place": "stretch", "times": 2},
                    {"text": ["K"], "seconds": 1}]})",
      folder_.path());
  ASSERT_TRUE(timeline);
  EXPECT_EQ(timeline->PassLength(), milliseconds(2 * 450 + 1000));
  const auto bar = [](int pixels) {
    QImage frame(16, 8, QImage::Format_RGB32);
    frame.fill(Qt::white);
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < pixels; ++x) frame.setPixel(x, y, qRgb(0, 0, 0));
    }
    picture::ConvertOptions options;
    options.placement = picture::Placement::Stretch;
    return picture::ConvertImage(frame, options).dots;
  };
  const struct {
    int ms;
    int bar;
  } table[] = {{0, 4}, {99, 4}, {100, 8}, {349, 8}, {350, 12}, {449, 12}, {450, 4}, {899, 12}};
  for (const auto& row : table) {
    SCOPED_TRACE(row.ms);
    const Moment moment = timeline->At(milliseconds(row.ms), At(12, 0));
    EXPECT_TRUE(moment.moving);
    EXPECT_EQ(moment.first, bar(row.bar));
    EXPECT_NEAR(moment.first.LitCount(), row.bar * 8 * 32, 32);
  }
  EXPECT_EQ(timeline->At(milliseconds(900), At(12, 0)).page, 1);
}

TEST_F(TimelineTest, PagesShowOnlyInTheirTimeAndTheOtherwisePageFillsTheRest) {
  auto timeline = Timeline(R"({"otherwise": {"text": ["Nic"]}, "pages": [
      {"text": ["A"], "seconds": 15, "when": {"from": "12:00", "to": "12:01"}},
      {"text": ["B"], "seconds": 10, "when": {"days": [3], "to": "12:02"}}]})");
  ASSERT_TRUE(timeline);
  // A's time ends at 12:01 in the middle of its page; from 12:02 no page
  // is due, looked at again each minute.
  const struct {
    int ms;
    int page;
    long long nextChange;
  } table[] = {{0, 0, 15000},       {14999, 0, 15000},    {15000, 1, 25000},   {25000, 0, 40000},
               {40000, 1, 50000},   {50000, 0, 60000},    {60000, 1, 70000},   {70000, 1, 80000},
               {119999, 1, 120000}, {120000, -1, 180000}, {200000, -1, 240000}};
  for (const auto& row : table) {
    SCOPED_TRACE(row.ms);
    const Moment moment = timeline->At(milliseconds(row.ms), At(12, 0).addMSecs(row.ms));
    EXPECT_FALSE(moment.ended);
    EXPECT_EQ(moment.page, row.page);
    EXPECT_EQ(moment.first, Text({row.page == 0 ? "A" : row.page == 1 ? "B" : "Nic"}));
    EXPECT_EQ(moment.nextChange.count(), row.nextChange);
  }
  // A week on, at noon on a Wednesday, the pages are due again.
  const milliseconds week = std::chrono::hours(7 * 24);
  EXPECT_EQ(timeline->At(week, At(12, 0).addDays(7)).page, 0);

  // Without an otherwise page the board goes blank.
  auto blank = Timeline(R"({"pages": [{"text": ["A"], "when": {"from": "13:00"}}]})");
  const Moment moment = blank->At(milliseconds(0), At(12, 0));
  EXPECT_EQ(moment.page, -1);
  EXPECT_EQ(moment.first.LitCount(), 0);
  EXPECT_EQ(blank->At(milliseconds(3'600'000), At(13, 0)).first, Text({"A"}));
}

TEST_F(TimelineTest, ATransitionMixesThePageBeforeWithTheNextForHalfASecond) {
  QImage black(kBoardWidth, kBoardHeight, QImage::Format_RGB32);
  black.fill(Qt::black);
  WriteText(folder_.path() / "czarny.png", testing::PngBytes(black));
  const auto lit = [](const BoardDots& dots, std::vector<std::pair<int, int>> points) {
    std::string seen;
    for (const auto& [x, y] : points) seen += dots.IsLit(x, y) ? '#' : '.';
    return seen;
  };
  // All lit, then all dark: half way the page before is half gone.
  const struct {
    std::string kind;
    std::string halfWay;  // at (0, 0), (127, 0), (0, 31), (127, 31)
  } table[] = {{"slide-left", "#.#."}, {"slide-up", "##.."}, {"wipe", ".#.#"}, {"none", "...."}};
  for (const auto& row : table) {
    SCOPED_TRACE(row.kind);
    auto timeline = Timeline(R"({"transition": ")" + row.kind + R"(", "pages": [
        {"picture": "czarny.png", "seconds": 5}, {"text": [""], "seconds": 5}]})",
                             folder_.path());
    ASSERT_TRUE(timeline);
    const Moment start = timeline->At(milliseconds(5000), At(12, 0, 5));
    const Moment half = timeline->At(milliseconds(5250), At(12, 0, 5, 250));
    const Moment end = timeline->At(milliseconds(5500), At(12, 0, 5, 500));
    const bool moves = row.kind != "none";
    EXPECT_EQ(start.first.LitCount(), moves ? kBoardWidth * kBoardHeight : 0);
    EXPECT_EQ(lit(half.first, {{0, 0}, {127, 0}, {0, 31}, {127, 31}}), row.halfWay);
    EXPECT_EQ(half.first.LitCount(), moves ? kBoardWidth * kBoardHeight / 2 : 0);
    EXPECT_EQ(half.moving, moves);
    EXPECT_EQ(end.first.LitCount(), 0);
    EXPECT_FALSE(end.moving);
    // The very first page comes without one.
    EXPECT_EQ(timeline->At(milliseconds(0), At(12, 0)).first.LitCount(),
              kBoardWidth * kBoardHeight);
  }
}

}  // namespace
}  // namespace tablica::show
