// Departures drawn as a show's content, their sources asked on the
// content's own thread: rows as plain text draws them (the headsign giving
// way to the route and the time), the alerts scrolling on the last row
// while the live feed is current, the "rozkł." mark and one fault while it
// fails.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QTimeZone>
#include <chrono>
#include <fstream>
#include <thread>

#include "feed_kit.h"
#include "picture/text_render.h"
#include "picture_gui.h"
#include "show/live_content.h"
#include "temp_folder.h"
#include "transit_live.pb.h"

namespace tablica::show {
namespace {

using std::chrono::milliseconds;

// 2026-12-09 07:58 in Warsaw: the small feed's T8 leaves in 2 minutes, T1 in 7.
const QDateTime kAt(QDate(2026, 12, 9), QTime(7, 58), QTimeZone("Europe/Warsaw"));

BoardDots Row(const std::string& text, int row) {
  picture::ConvertOptions options;
  options.text = {text};
  options.align = picture::Alignment::Left;
  options.height = 16;
  const BoardDots line = picture::RenderText(options).dots;
  BoardDots placed;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < kBoardWidth; ++x) placed.SetLit(x, row * 16 + y, line.IsLit(x, y));
  }
  return placed;
}

BoardDots RowOf(const BoardDots& dots, int row) {
  BoardDots only;
  for (int y = row * 16; y < row * 16 + 16; ++y) {
    for (int x = 0; x < kBoardWidth; ++x) only.SetLit(x, y, dots.IsLit(x, y));
  }
  return only;
}

class LiveContentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::EnsurePictureGui();
    testing_support::WriteFeed(folder_.path() / "rozklad.zip", testing_support::kSmallFeed);
  }

  // Departures of the station S, two rows on the whole board, live times
  // from `realtime`; drawn once its sources answered as `answered` says.
  std::unique_ptr<BoardContent> Departures(const std::string& realtime,
                                           bool (*answered)(const SourceReport&)) {
    ContentModel model;
    model.kind = ContentKind::Departures;
    model.live = LiveModel::For(ContentKind::Departures);
    model.live.feed = (folder_.path() / "rozklad.zip").string();
    model.live.realtime = realtime;
    model.live.stops = {"S"};
    std::string error;
    std::unique_ptr<BoardContent> content = MakeLiveContent(model, kAt, error);
    EXPECT_TRUE(content) << error;
    if (!content) return nullptr;
    content->Start();  // its sources are asked from now on
    std::vector<std::shared_ptr<const SourceWatch>> watches;
    content->Watches(watches);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < until) {
      const std::vector<SourceReport> reports = watches.at(0)->Report();
      if (reports.size() == 2 && reports[0].age && answered(reports[1])) return content;
      std::this_thread::sleep_for(milliseconds(20));
    }
    ADD_FAILURE() << "the sources did not answer";
    return content;
  }

  testing_support::TempFolder folder_;
};

TEST_F(LiveContentTest, AlertsScrollOnTheLastRowWhileTheLiveFeedIsCurrent) {
  live::wire::FeedMessage message;
  message.mutable_header()->set_gtfs_realtime_version("2.0");
  message.mutable_header()->set_timestamp(
      static_cast<std::uint64_t>(QDateTime::currentSecsSinceEpoch()));
  auto* alert = message.add_entity();
  alert->set_id("a");
  alert->mutable_alert()->add_informed_entity()->set_route_id("R4");
  alert->mutable_alert()->mutable_header_text()->add_translation()->set_text("Objazd przez most");
  const auto path = folder_.path() / "tripupdates.pb";
  std::ofstream(path, std::ios::binary) << message.SerializeAsString();

  auto content = Departures(path.string(), [](const SourceReport& live) { return !!live.age; });
  ASSERT_TRUE(content);
  const Drawn early = content->DotsAt(milliseconds(1000), kAt);
  const Drawn later = content->DotsAt(milliseconds(3000), kAt);
  EXPECT_EQ(early.problem, "");
  EXPECT_TRUE(content->Moving());
  EXPECT_TRUE(content->FollowsClock());
  EXPECT_EQ(RowOf(early.dots, 0), Row("4 Co 20 2 min", 0));
  EXPECT_EQ(RowOf(later.dots, 0), Row("4 Co 20 2 min", 0));
  EXPECT_GT(RowOf(early.dots, 1).LitCount(), 0);
  EXPECT_NE(RowOf(early.dots, 1), RowOf(later.dots, 1));
}

TEST_F(LiveContentTest, AFailingLiveFeedMarksTheTimetablesTimesAndSaysWhy) {
  const std::string missing = (folder_.path() / "brak.pb").string();
  auto content = Departures(missing, [](const SourceReport& live) { return !live.fault.empty(); });
  ASSERT_TRUE(content);
  const Drawn drawn = content->DotsAt(milliseconds(1000), kAt);
  EXPECT_NE(drawn.problem.find("brak.pb"), std::string::npos) << drawn.problem;
  EXPECT_FALSE(content->Moving());
  // The mark takes the headsign's room; the route and the time stay whole.
  EXPECT_EQ(RowOf(drawn.dots, 0), Row("4 C 2 min rozkł.", 0));
  EXPECT_EQ(RowOf(drawn.dots, 1), Row("4 Pętla 7 min", 1));
  // A minute on, the times moved with the clock, no new answer needed.
  EXPECT_EQ(RowOf(content->DotsAt(milliseconds(61000), kAt.addSecs(60)).dots, 1),
            Row("4 Pętla 6 min", 1));
}

}  // namespace
}  // namespace tablica::show
