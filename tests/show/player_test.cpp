// The player against a scripted port, on a simulated clock: still pages
// once and at each refresh, a clock when its text changes, one empty frame
// for a blank range, frames that would come late made again for a later
// moment, a failed line paused for and the show going on, a stop after the
// frame in flight; and from another thread, content switched, a
// notification that ends where the content would be, every frame observed.

#include <gtest/gtest.h>

#include <QFile>
#include <algorithm>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "fake_serial_platform.h"
#include "picture/convert.h"
#include "session/board_session.h"
#include "show/show_file.h"
#include "show/show_player.h"
#include "show/show_preview.h"
#include "temp_folder.h"
#include "test_kit.h"

namespace tablica::show {
namespace {

using std::chrono::microseconds;
using std::chrono::seconds;

// The frame's time on a 38400-baud line: 517 bytes, 10 bits each.
constexpr microseconds kFrameWire{134'635};

QDateTime Local(int hour, int minute, int second = 0, int msec = 0) {
  return QDateTime(QDate(2024, 5, 1), QTime(hour, minute, second, msec));
}

BoardDots Text(std::vector<std::string> lines) {
  picture::ConvertOptions options;
  options.text = std::move(lines);
  return picture::RenderText(options).dots;
}

std::unique_ptr<ShowTimeline> Timeline(const std::string& json, const QDateTime& now) {
  const ShowModelResult model = ParseShow(QByteArray::fromStdString(json), ".", ShowOrigin::File);
  EXPECT_TRUE(model.show) << Sentence(model.error);
  TimelineResult made = MakeTimeline(*model.show, now);
  EXPECT_TRUE(made.timeline) << Sentence(made.error);
  return std::move(made.timeline);
}

// A moving content that shows how far into its page it was asked for,
// in binary on the top row; every `slowEvery`-th drawing takes `slowBy`.
class Ticker : public BoardContent {
 public:
  Ticker(SimulatedClock* clock, int slowEvery, microseconds slowBy)
      : clock_(clock), slowEvery_(slowEvery), slowBy_(slowBy) {}
  milliseconds PassLength() const override { return milliseconds(3'600'000); }
  Drawn DotsAt(milliseconds into, const QDateTime&) override {
    ++*drawings;
    if (slowEvery_ > 0 && *drawings % slowEvery_ == 0) clock_->Advance(slowBy_);
    return {Encode(into), {}};
  }
  static BoardDots Encode(milliseconds into) {
    BoardDots dots;
    for (int bit = 0; bit < 32; ++bit) dots.SetLit(bit, 0, (into.count() >> bit) & 1);
    return dots;
  }
  static milliseconds Decode(const BoardDots& dots) {
    long long value = 0;
    for (int bit = 0; bit < 32; ++bit) value |= static_cast<long long>(dots.IsLit(bit, 0)) << bit;
    return milliseconds(value);
  }
  // Outlives the ticker, which the player owns.
  std::shared_ptr<int> drawings = std::make_shared<int>(0);

 private:
  SimulatedClock* clock_;
  int slowEvery_;
  microseconds slowBy_;
};

std::unique_ptr<ShowTimeline> TickerTimeline(SimulatedClock* clock, int slowEvery = 0,
                                             microseconds slowBy = {},
                                             std::shared_ptr<int>* drawings = nullptr) {
  std::vector<ShowTimeline::Page> pages(1);
  auto content = std::make_unique<Ticker>(clock, slowEvery, slowBy);
  if (drawings != nullptr) *drawings = content->drawings;
  pages[0].first = std::move(content);
  return std::make_unique<ShowTimeline>(std::move(pages), ShowModel());
}

// A frame as the observer saw it, with the simulated time it was written at.
struct Written {
  FrameRecord frame;
  microseconds at;  // since the start of the simulation
};

// The session's output, with a hook called at each look at the port.
class LookingOutput : public SessionOutput {
 public:
  LookingOutput(BoardSession& session, std::function<void()> hook)
      : SessionOutput(session), hook_(std::move(hook)) {}
  BoardReach Look() override {
    if (hook_) hook_();
    return SessionOutput::Look();
  }

 private:
  std::function<void()> hook_;
};

class PlayerTest : public ::testing::Test {
 protected:
  // Plays `content` from local time `start` for `length` of simulated time;
  // `also` hears each frame, `eachLook` comes before each look at the port.
  void PlayFor(std::unique_ptr<ShowTimeline> content, microseconds length,
               std::function<void(const Written&)> also = {}, std::function<void()> eachLook = {}) {
    session_.OpenFromSettings(folder_.path() / "brak-ustaw.txt", 7);
    std::stop_source stop;
    clock_.StopAt(length, stop);
    ShowPlayer player(clock_,
                      PlayerOptions{false, [this](const std::string& m) { said_.push_back(m); },
                                    milliseconds(1000), milliseconds(8000)});
    player.SetFrameObserver([&](const FrameRecord& frame) {
      written_.push_back({frame, clock_.SinceStart()});
      if (also) also(written_.back());
    });
    playerForCallbacks_ = &player;
    player.Play(std::move(content));
    LookingOutput output(session_, eachLook);
    player.Run(output, stop.get_token());
    status_ = player.Status();
    playerForCallbacks_ = nullptr;
  }
  // The moment a frame was made for, as simulated time since the start.
  microseconds MomentOf(const Written& w) const {
    return std::chrono::duration_cast<microseconds>(milliseconds(start_.msecsTo(w.frame.moment)));
  }

  testing_support::TempFolder folder_;
  QDateTime start_ = Local(12, 0, 0, 300);
  SimulatedClock clock_{start_};
  tablica::testing::FakeSerialPlatform platform_;
  std::vector<std::string> said_;
  BoardSession session_{platform_, [this](const std::string& m) { said_.push_back(m); }};
  std::vector<Written> written_;
  PlayerStatus status_;
  ShowPlayer* playerForCallbacks_ = nullptr;
};

TEST_F(PlayerTest, AStillPageIsWrittenOnceAndAgainAtEachRefresh) {
  PlayFor(Timeline(R"({"refresh": 10, "pages": [{"text": ["A"]}]})", start_), seconds(35));
  ASSERT_EQ(written_.size(), 4u);
  for (std::size_t i = 0; i < written_.size(); ++i) {
    // Written at once (the fake port takes no time), arriving a frame's
    // wire time later.
    EXPECT_EQ(written_[i].at, seconds(10) * static_cast<int>(i)) << i;
    EXPECT_EQ(MomentOf(written_[i]), milliseconds(10'000 * i + 135)) << i;
    EXPECT_TRUE(written_[i].frame.ok);
  }
  std::vector<std::uint8_t> fourTimes;
  for (int i = 0; i < 4; ++i) {
    const auto frame = tablica::testing::ExpectedWire(Text({"A"}));
    fourTimes.insert(fourTimes.end(), frame.begin(), frame.end());
  }
  EXPECT_EQ(platform_.wire, fourTimes);
  written_.clear();
  PlayFor(Timeline(R"({"pages": [{"text": ["A"]}]})", start_), seconds(35));
  EXPECT_EQ(written_.size(), 1u);
}

TEST_F(PlayerTest, AClockIsWrittenWhenItsTextChangesAndArrivesOnTheSecond) {
  PlayFor(Timeline(R"({"pages": [{"text": ["{time:HH:mm:ss}"]}]})", start_),
          microseconds(3'500'000));
  // 12:00:00.435 (the first frame's moment), then 12:00:01, :02, :03.
  ASSERT_EQ(written_.size(), 4u);
  for (std::size_t i = 0; i < written_.size(); ++i) {
    const QTime shown = written_[i].frame.moment.time();
    EXPECT_EQ(written_[i].frame.first,
              Text({shown.toString(QStringLiteral("HH:mm:ss")).toStdString()}))
        << i;
    if (i > 0) {
      EXPECT_EQ(shown.msec(), 0) << i;  // made for the second it shows
      EXPECT_EQ(written_[i].at + kFrameWire, MomentOf(written_[i]));
    }
  }
  written_.clear();
  platform_.wire.clear();
  PlayFor(Timeline(R"({"pages": [{"text": ["{time:HH:mm}"]}]})", start_), seconds(150));
  ASSERT_EQ(written_.size(), 3u);  // 12:00, 12:01, 12:02: one frame a minute
  EXPECT_EQ(written_[2].frame.first, Text({"12:02"}));
}

TEST_F(PlayerTest, ABlankRangeAcrossMidnightSendsOneEmptyFrameAndTheShowGoesOnWhereItWouldBe) {
  start_ = Local(23, 59, 0);
  clock_ = SimulatedClock(start_);
  PlayFor(Timeline(R"({"blank": ["00:00-00:02"], "pages": [
      {"text": ["A"], "seconds": 30}, {"text": ["B"], "seconds": 30}]})",
                   start_),
          seconds(200));
  ASSERT_EQ(written_.size(), 4u);
  EXPECT_EQ(written_[0].frame.first, Text({"A"}));
  EXPECT_EQ(written_[1].frame.first, Text({"B"}));
  EXPECT_EQ(MomentOf(written_[1]), seconds(30));
  EXPECT_EQ(written_[2].frame.first, BoardDots());
  EXPECT_EQ(written_[2].frame.moment.time(), QTime(0, 0));
  // At 00:02 the show is 180 s in: the start of its fourth pass, page A.
  EXPECT_EQ(written_[3].frame.first, Text({"A"}));
  EXPECT_EQ(written_[3].frame.moment.time(), QTime(0, 2));
}

TEST_F(PlayerTest, ABoardBlankWhileNoPageIsDueShowsThePageOnTheMinuteItComesDue) {
  PlayFor(
      Timeline(R"({"pages": [{"text": ["A"], "when": {"from": "12:01", "to": "12:02"}}]})", start_),
      seconds(200));
  ASSERT_EQ(written_.size(), 3u);
  EXPECT_EQ(written_[0].frame.first, BoardDots());
  EXPECT_EQ(written_[1].frame.first, Text({"A"}));
  EXPECT_EQ(written_[1].frame.moment.time(), QTime(12, 1));
  EXPECT_EQ(written_[2].frame.first, BoardDots());
  EXPECT_EQ(written_[2].frame.moment.time(), QTime(12, 2));
}

TEST_F(PlayerTest, MovingFramesGoAtTheWiresPaceAndOneMadeTooSlowlyIsMadeAgainNotSentLate) {
  std::shared_ptr<int> drawings;
  // Every fifth drawing takes 0.1 s, most of a frame's 0.135 s.
  PlayFor(TickerTimeline(&clock_, 5, microseconds(100'000), &drawings), seconds(10));
  ASSERT_GT(written_.size(), 60u);
  for (std::size_t i = 0; i < written_.size(); ++i) {
    // Each frame shows the moment its last byte reaches the board.
    const microseconds arrives = written_[i].at + kFrameWire;
    const microseconds shows = Ticker::Decode(written_[i].frame.first);
    EXPECT_LE(arrives - shows, microseconds(35'000)) << i;
    EXPECT_GE(arrives - shows, microseconds(-500)) << i;  // moments are to the millisecond
    if (i > 0) {
      EXPECT_GE(written_[i].at - written_[i - 1].at, kFrameWire) << i;
    }
  }
  // The slow drawings were thrown away, not written.
  EXPECT_GE(*drawings, static_cast<int>(written_.size()) + *drawings / 5);
  // Pace: the line is busy all the time but for the slow drawings.
  EXPECT_GE(written_.size() * 134'635, 10'000'000u * 3 / 4);
}

TEST_F(PlayerTest, AfterFailedFramesOnAPortStillThereThePlayerPausesLongerEachTime) {
  int failed = 0;
  // Four frames in a row meet a line error (the port closes and opens again
  // at once), from the third frame on.
  PlayFor(TickerTimeline(&clock_), seconds(30), [&](const Written& w) {
    if (written_.size() == 2) {
      for (int i = 0; i < 4; ++i) {
        platform_.QueuePartialWrite(0);
        platform_.lineScript.push_back({.errorMask = 1});
        platform_.lineScript.push_back({});  // the open's own look
      }
    }
    if (!w.frame.ok) ++failed;
  });
  ASSERT_GT(written_.size(), 10u);
  ASSERT_EQ(failed, 4);
  EXPECT_EQ(status_.failedFrames, 4);
  EXPECT_FALSE(written_[2].frame.ok);
  EXPECT_FALSE(written_[2].frame.messages.empty());
  // Pauses of 1, 2 and 4 s between the failed frames.
  EXPECT_NEAR((written_[3].at - written_[2].at).count(), 1'000'000, 150'000);
  EXPECT_NEAR((written_[4].at - written_[3].at).count(), 2'000'000, 150'000);
  EXPECT_NEAR((written_[5].at - written_[4].at).count(), 4'000'000, 150'000);
  // Back after 8 s: the show is where the time says, not where it stopped.
  ASSERT_TRUE(written_[6].frame.ok);
  EXPECT_EQ(Ticker::Decode(written_[6].frame.first),
            std::chrono::round<milliseconds>(written_[6].at + kFrameWire));
  EXPECT_TRUE(written_.back().frame.ok);
  // Every frame that went out went out whole.
  EXPECT_EQ(platform_.wire.size() % 517, 0u);
}

TEST_F(PlayerTest, APulledAdapterIsWaitedForAndTheShowGoesOnAtOnceWhenItIsBack) {
  const auto back = seconds(8);
  PlayFor(
      TickerTimeline(&clock_), seconds(12),
      [&](const Written&) {
        if (written_.size() == 2) {
          platform_.QueueFailedWrite(WriteFailure::Gone);
          platform_.absentDevices.insert("COM7");
        }
      },
      [&] {
        if (clock_.SinceStart() >= back) platform_.absentDevices.clear();
      });
  ASSERT_GT(written_.size(), 10u);
  EXPECT_FALSE(written_[2].frame.ok);
  EXPECT_EQ(status_.failedFrames, 1) << "nothing is written while the port is away";
  // Back within a look, where the time says, and on to the end.
  ASSERT_TRUE(written_[3].frame.ok);
  EXPECT_GE(written_[3].at, back);
  EXPECT_LE(written_[3].at, back + kLookEvery + kFrameWire);
  EXPECT_EQ(Ticker::Decode(written_[3].frame.first),
            std::chrono::round<milliseconds>(written_[3].at + kFrameWire));
  EXPECT_GT(written_.back().at, seconds(11));
  EXPECT_TRUE(status_.reached);
  EXPECT_EQ(platform_.wire.size() % 517, 0u);
  EXPECT_EQ(std::count(said_.begin(), said_.end(), "Brak portu COM7, czekam na jego powrót."), 1);
  EXPECT_EQ(std::count(said_.begin(), said_.end(), "Port COM7 wrócił."), 1);
}

TEST_F(PlayerTest, AStopEndsAfterTheFrameInFlight) {
  std::stop_source stop;
  session_.OpenFromSettings(folder_.path() / "brak-ustaw.txt", 7);
  ShowPlayer player(clock_);
  int frames = 0;
  player.SetFrameObserver([&](const FrameRecord&) {
    if (++frames == 3) stop.request_stop();
  });
  player.Play(TickerTimeline(&clock_));
  SessionOutput output(session_);
  EXPECT_EQ(player.Run(output, stop.get_token()), ShowPlayer::Ended::Stopped);
  EXPECT_EQ(frames, 3);
  EXPECT_EQ(platform_.wire.size(), 3u * 517);
}

TEST_F(PlayerTest, ANotificationInterruptsForItsSecondsAndTheShowGoesOnFromWhereItWouldBe) {
  PlayFor(TickerTimeline(&clock_), seconds(5), [&](const Written&) {
    if (written_.size() == 5) {
      playerForCallbacks_->Notify(Timeline(R"({"pages": [{"text": ["Uwaga"]}]})", start_),
                                  seconds(2));
    }
  });
  ASSERT_GT(written_.size(), 10u);
  EXPECT_EQ(written_[5].frame.first, Text({"Uwaga"}));  // still: written once
  EXPECT_GE(written_[6].at - written_[5].at, seconds(2) - kFrameWire);
  EXPECT_LE(written_[6].at - written_[5].at, seconds(2) + kFrameWire);
  for (std::size_t i = 6; i < written_.size(); ++i) {
    EXPECT_EQ(Ticker::Decode(written_[i].frame.first),
              std::chrono::round<milliseconds>(written_[i].at + kFrameWire))
        << i;
  }
}

// Frames as an observer on the playing thread hands them over.
class SeenFrames {
 public:
  void Add(const FrameRecord& frame) {
    const std::lock_guard lock(mutex_);
    frames_.push_back(frame);
    changed_.notify_all();
  }
  // The first `count` frames, once there are as many (at most 10 s).
  std::vector<FrameRecord> First(std::size_t count) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, seconds(10), [&] { return frames_.size() >= count; });
    return {frames_.begin(), frames_.begin() + static_cast<long>(std::min(count, frames_.size()))};
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<FrameRecord> frames_;
};

TEST_F(PlayerTest, FromAnotherThreadContentIsSwitchedNotifiedAndBlankedAndEveryFrameIsSeen) {
  session_.OpenFromSettings(folder_.path() / "brak-ustaw.txt", 7);
  SystemClock clock;
  ShowPlayer player(clock);
  SeenFrames seen;
  player.SetFrameObserver([&seen](const FrameRecord& frame) { seen.Add(frame); });
  const QDateTime now = QDateTime::currentDateTime();
  player.Play(Timeline(R"({"pages": [{"text": ["A"]}]})", now), Showing::Show);
  std::jthread playing([&](std::stop_token stop) {
    SessionOutput output(session_);
    player.Run(output, stop);
  });
  ASSERT_EQ(seen.First(1).size(), 1u);
  EXPECT_EQ(player.Status().showing, Showing::Show);

  player.Notify(Timeline(R"({"pages": [{"text": ["N"]}]})", now), milliseconds(300));
  ASSERT_EQ(seen.First(2).size(), 2u);
  // The still page comes back by itself when the notification is over.
  ASSERT_EQ(seen.First(3).size(), 3u);
  EXPECT_EQ(player.Status().showing, Showing::Show);
  player.Play(Timeline(R"({"pages": [{"text": ["B"]}]})", now), Showing::Text);
  ASSERT_EQ(seen.First(4).size(), 4u);
  EXPECT_EQ(player.Status().showing, Showing::Text);
  player.Blank();
  const std::vector<FrameRecord> frames = seen.First(5);
  ASSERT_EQ(frames.size(), 5u);
  EXPECT_EQ(player.Status().showing, Showing::Blank);

  const std::vector<BoardDots> expected = {Text({"A"}), Text({"N"}), Text({"A"}), Text({"B"}),
                                           BoardDots()};
  for (std::size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(frames[i].first, expected[i]) << i;
    EXPECT_TRUE(frames[i].ok) << i;
  }
  const auto stopAsked = std::chrono::steady_clock::now();
  playing.request_stop();
  playing.join();
  EXPECT_LT(std::chrono::steady_clock::now() - stopAsked, seconds(1));
  const PlayerStatus status = player.Status();
  EXPECT_EQ(status.frames, 5);
  EXPECT_EQ(status.failedFrames, 0);
  ASSERT_TRUE(status.last);
  EXPECT_EQ(status.last->first, BoardDots());
  std::vector<std::uint8_t> wire;
  for (const BoardDots& dots : expected) {
    const auto frame = tablica::testing::ExpectedWire(dots);
    wire.insert(wire.end(), frame.begin(), frame.end());
  }
  EXPECT_EQ(platform_.wire, wire);
}

// tablica-convert --play --preview: the first pass, frame by frame, each
// drawn as the virtual board draws it, with its moment in timing.txt.
TEST(ShowPreviewTest, EachFrameOfTheFirstPassIsDrawnWithItsMoment) {
  testing_support::TempFolder folder;
  const QDateTime start = Local(12, 0);
  const PreviewResult written = WriteShowPreview(
      Timeline(R"({"pages": [{"text": ["A"], "seconds": 2}, {"text": ["B"], "seconds": 1}]})",
               start),
      folder.path() / "klatki", start);
  ASSERT_EQ(written.error, "");
  ASSERT_EQ(written.frames, 2);
  const auto read = [&](const char* name) {
    QFile file(QString::fromStdString((folder.path() / "klatki" / name).string()));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
  };
  EXPECT_EQ(read("klatka-00001.png"), picture::EncodePreviewPng(Text({"A"})));
  EXPECT_EQ(read("klatka-00002.png"), picture::EncodePreviewPng(Text({"B"})));
  // Each frame at the moment it reached the board: a page's frame is sent
  // ahead to arrive as the page begins; the first cannot come before one
  // frame's time on the line.
  EXPECT_EQ(read("timing.txt").toStdString(), "klatka-00001.png 0.135\nklatka-00002.png 2.000\n");

  // A slow line scrolled a million times is refused before any frame.
  const PreviewResult absurd = WriteShowPreview(
      Timeline(R"({"pages": [{"scroll": "Uwaga", "speed": 1, "times": 1000000}]})", start),
      folder.path() / "absurd", start);
  EXPECT_EQ(absurd.frames, 0);
  EXPECT_NE(absurd.error.find("podgląd obejmuje najwyżej 3600 s"), std::string::npos)
      << absurd.error;
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "absurd"));
}

}  // namespace
}  // namespace tablica::show
