// What the board shows at a moment of a show: pages by their lengths and
// passes, blank ranges by the local time (across midnight too), a clock's
// text, a scrolling line's place by the time and its speed, an animation's
// frame by the delays; all without waiting.

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QImage>

#include "picture/convert.h"
#include "show/clock_text.h"
#include "show/show_file.h"
#include "show/show_timeline.h"
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

}  // namespace
}  // namespace tablica::show
