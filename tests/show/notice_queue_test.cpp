// The queue's rules, each a script of steps at moments and the line it
// leaves: "id*:priority:seconds left" in the order of showing, '*' on the one
// that shows, 'h' for held.

#include <gtest/gtest.h>

#include "show/notice_queue.h"

namespace tablica::show {
namespace {

using std::chrono::seconds;

enum class Op { Add, Cancel, CancelAll, Pause, Resume, Look };

struct Step {
  int at;  // seconds
  Op op;
  const char* id = "";
  int priority = kDefaultPriority;
  int length = 0;  // seconds; 0: held
  const char* line = "";
};

std::string Line(const std::vector<NoticeState>& states) {
  std::string line;
  for (const NoticeState& state : states) {
    line += (line.empty() ? "" : " ") + state.id + (state.showing ? "*" : "") + ":" +
            std::to_string(state.priority) + ":" +
            (state.left ? std::to_string(std::chrono::ceil<seconds>(*state.left).count()) : "h");
  }
  return line;
}

TEST(NoticeQueue, PrioritiesTurnsReplacementsHoldsAndBlanks) {
  const struct {
    const char* rule;
    std::vector<Step> steps;
  } cases[] = {
      {"higher interrupts; the lower gets what it had left",
       {{0, Op::Add, "a", 5, 10, "a*:5:10"},
        {4, Op::Add, "b", 9, 3, "b*:9:3 a:5:6"},
        {7, Op::Look, "", 0, 0, "a*:5:6"},
        {12, Op::Look, "", 0, 0, "a*:5:1"},
        {13, Op::Look, "", 0, 0, ""}}},
      {"an equal one waits its turn, a lower one too",
       {{0, Op::Add, "a", 5, 5, "a*:5:5"},
        {1, Op::Add, "c", 5, 5, "a*:5:4 c:5:5"},
        {1, Op::Add, "z", 2, 5, "a*:5:4 c:5:5 z:2:5"},
        {6, Op::Look, "", 0, 0, "c*:5:4 z:2:5"},
        {20, Op::Look, "", 0, 0, ""}}},
      {"the same id replaces in its place, from its start",
       {{0, Op::Add, "a", 5, 5, "a*:5:5"},
        {0, Op::Add, "c", 5, 5, "a*:5:5 c:5:5"},
        {3, Op::Add, "a", 5, 8, "a*:5:8 c:5:5"},
        {4, Op::Add, "c", 7, 2, "c*:7:2 a:5:7"},
        {6, Op::Look, "", 0, 0, "a*:5:7"}}},
      {"held until cancelled; all cancelled at once",
       {{0, Op::Add, "a", 3, 0, "a*:3:h"},
        {0, Op::Add, "b", 3, 4, "a*:3:h b:3:4"},
        {900, Op::Cancel, "x", 0, 0, "a*:3:h b:3:4"},
        {900, Op::Cancel, "a", 0, 0, "b*:3:4"},
        {901, Op::Add, "", 0, 0, "b*:3:3 n-1:0:h"},
        {901, Op::CancelAll, "", 0, 0, ""}}},
      {"blanked: nothing shows and no time counts until resumed",
       {{0, Op::Add, "a", 5, 10, "a*:5:10"},
        {2, Op::Pause, "", 0, 0, "a:5:8"},
        {50, Op::Add, "b", 1, 5, "a*:5:8 b:1:5"},
        {51, Op::Pause, "", 0, 0, "a:5:7 b:1:5"},
        {60, Op::Resume, "", 0, 0, "a*:5:7 b:1:5"}}},
  };
  for (const auto& c : cases) {
    NoticeQueue queue;
    const SteadyTime zero{};
    for (const Step& step : c.steps) {
      const SteadyTime now = zero + seconds(step.at);
      switch (step.op) {
        case Op::Add: {
          std::optional<std::chrono::milliseconds> length;
          if (step.length > 0) length = seconds(step.length);
          queue.Add({step.id, step.priority, length, nullptr}, now);
          // A message added while blanked shows: the player resumes with it.
          queue.Resume(now);
          break;
        }
        case Op::Cancel:
          EXPECT_EQ(queue.Cancel(step.id, now), std::string(step.id) != "x") << c.rule;
          break;
        case Op::CancelAll:
          queue.CancelAll(now);
          break;
        case Op::Pause:
          queue.Pause(now);
          break;
        case Op::Resume:
          queue.Resume(now);
          break;
        case Op::Look:
          break;
      }
      EXPECT_EQ(Line(queue.List(now)), step.line) << c.rule << ", at " << step.at << " s";
    }
  }
}

TEST(NoticeQueue, TheCurrentOneKeepsItsPlaceInItsContentAcrossAnInterruption) {
  NoticeQueue queue;
  const SteadyTime zero{};
  queue.Add({"a", 5, seconds(10), nullptr}, zero);
  const auto first = queue.Current(zero + seconds(4));
  queue.Add({"b", 9, seconds(3), nullptr}, zero + seconds(4));
  EXPECT_NE(queue.Current(zero + seconds(5))->serial, first->serial);
  const auto back = queue.Current(zero + seconds(8));
  ASSERT_TRUE(first && back);
  EXPECT_EQ(back->serial, first->serial);
  // It goes on from its 4th second: its time 0 moved by the 3 s it was away.
  EXPECT_EQ(back->start, first->start + seconds(3));
  EXPECT_EQ(back->end, zero + seconds(13));
}

TEST(NoticeQueue, AFullQueueRefusesNewcomersButTakesReplacementsAndMakesFreeIds) {
  NoticeQueue queue;
  const SteadyTime now{};
  EXPECT_EQ(queue.Add({"n-1", 5, std::nullopt, nullptr}, now), "n-1");
  EXPECT_EQ(queue.Add({"", 5, std::nullopt, nullptr}, now), "n-2");
  while (queue.Size() < kMostNotices) queue.Add({"", 5, std::nullopt, nullptr}, now);
  EXPECT_EQ(queue.Add({"new", 5, std::nullopt, nullptr}, now), std::nullopt);
  EXPECT_EQ(queue.Add({"n-1", 7, seconds(1), nullptr}, now), "n-1");
  EXPECT_EQ(queue.CancelAll(now), kMostNotices);
}

}  // namespace
}  // namespace tablica::show
