// Departures of a small feed written the way real feeds are: a byte-order
// mark, CRLF, quotes, columns in any order, a trip whose rows are not
// together, times past midnight, a clock change, a stop in another time
// zone, frequencies, a station with platforms; then a live feed on top.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "feed_kit.h"
#include "live/realtime.h"
#include "live/stop_list.h"
#include "temp_folder.h"
#include "tools/departures_tool.h"
#include "transit_live.pb.h"

namespace tablica {
namespace {

using testing_support::TempFolder;

struct Answer {
  int code = -1;
  std::vector<std::string> lines;
  std::string errors;
};

Answer Departures(const std::filesystem::path& feed, std::vector<std::string> stops,
                  const std::string& at, const std::string& realtime = {}) {
  tools::DeparturesCommand command;
  command.feed = feed.string();
  command.stops = std::move(stops);
  command.at = at;
  if (!realtime.empty()) command.realtime = realtime;
  Answer run;
  run.code = tools::RunDeparturesTool(
      command, [&](const std::string& line) { run.lines.push_back(line); },
      [&](const std::string& text) { run.errors += text; });
  return run;
}

// "08:05 T1 4 Pętla S1" from a printed line (the offset kept when not +01:00).
std::string Brief(const std::string& line) {
  const auto field = [&](const std::string& name) {
    const auto at = line.find("\"" + name + "\": ");
    const auto from = at + name.size() + 4;
    if (line[from] != '"') return line.substr(from, line.find_first_of(",}", from) - from);
    return line.substr(from + 1, line.find('"', from + 1) - from - 1);
  };
  std::string time = field("departure").substr(11);
  if (time.ends_with(":00+01:00")) time = time.substr(0, 5);
  std::string brief = time + " " + field("trip") + " " + field("route") + " " + field("headsign") +
                      " " + field("stop");
  if (field("delay") != "null") brief += " delay=" + field("delay");
  if (field("cancelled") == "true") brief += " cancelled";
  return brief;
}

class DeparturesTest : public ::testing::Test {
 protected:
  void SetUp() override { testing_support::WriteFeed(feed_, testing_support::kSmallFeed); }
  std::vector<std::string> Briefs(const Answer& run) {
    std::vector<std::string> briefs;
    for (const auto& line : run.lines) briefs.push_back(Brief(line));
    return briefs;
  }
  TempFolder folder_;
  std::filesystem::path feed_ = folder_.path() / "rozklad.zip";
};

TEST_F(DeparturesTest, EachRuleOfTheTimetable) {
  // Wednesday 9 December 2026, 08:00 in Warsaw, whatever the machine's zone.
  const Answer run = Departures(feed_, {"S", "L"}, "2026-12-09T08:00", {});
  ASSERT_EQ(run.code, 0) << run.errors;
  const std::vector<std::string> expected = {
      "08:00 T8 4 Co 20 S2",             // a frequency start, not the template's 10:00
      "08:05 T1 4 Pętla S1",             // trip headsign; the station's platform
      "08:10 T2 4 Rynek przez most S1",  // the stop's headsign
      "08:12 T3 Nocny Pętla S1",         // long name; last stop's name; rows apart
      "08:20 T10 4 Rynek S2",            // no times: between its neighbours
      "08:20 T5 4 Rynek S2",             // a service of added dates only
      "08:20 T8 4 Co 20 S2",             //
      "08:30 T7 Nocny Pętla S2",         // 32:30 of Tuesday's service
      "08:40 T8 4 Co 20 S2",             //
      "09:50:00+02:00 T9 4 Lwów L",      // shown in the stop's own zone
  };
  // Not there: T4 (its last stop), T6 (removed that day), T11 (no pickup).
  EXPECT_EQ(Briefs(run), expected);
}

TEST_F(DeparturesTest, StopsFoundByNameWithoutCaseOrMarks) {
  const auto ids = [&](std::string_view search, std::size_t limit = 50) {
    const live::FoundStops found = live::FindStops(feed_, search, limit);
    EXPECT_TRUE(found.error.empty()) << found.error;
    std::string line;
    for (const live::FoundStop& stop : found.stops) line += stop.id + (stop.station ? "* " : " ");
    return line + (found.more ? "…" : "");
  };
  EXPECT_EQ(ids("PERON"), "S1 S2 ");
  EXPECT_EQ(ids("lwow"), "L ");
  EXPECT_EQ(ids("glowny"), "S* ");  // a station; in quotes with "" in the file
  EXPECT_EQ(ids(""), "S* L S1 S2 P R ");
  EXPECT_EQ(ids("", 2), "S* L …");
  EXPECT_THAT(live::FindStops(folder_.path() / "brak.zip", "").error,
              ::testing::HasSubstr("brak.zip"));
}

TEST_F(DeparturesTest, RoutesFilterByIdOrShortNameFromTheCommandLine) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"RN", {"08:12 T3 Nocny Pętla S1", "08:30 T7 Nocny Pętla S2"}},
      {"4", {"08:00 T8 4 Co 20 S2", "08:05 T1 4 Pętla S1"}},
  };
  for (const auto& [route, expected] : cases) {
    const auto parsed =
        tools::ParseDeparturesCommand({"--departures", feed_.string(), "--stop", "S", "--route",
                                       route, "--rows", "2", "--at", "2026-12-09T08:00"});
    ASSERT_TRUE(parsed.command) << parsed.error;
    Answer run;
    run.code = tools::RunDeparturesTool(
        *parsed.command, [&](const std::string& line) { run.lines.push_back(line); },
        [&](const std::string& text) { run.errors += text; });
    EXPECT_EQ(Briefs(run), expected) << route << ": " << run.errors;
  }
}

TEST_F(DeparturesTest, ServiceDayCountsFromNoonOnTheDayClocksChange) {
  // 29 March 2026: clocks go forward at 02:00; 10:00:00 is 10:00 CEST.
  const Answer run = Departures(feed_, {"S1"}, "2026-03-29T09:00");
  ASSERT_FALSE(run.lines.empty()) << run.errors;
  EXPECT_NE(run.lines[0].find("\"departure\": \"2026-03-29T10:00:00+02:00\""), std::string::npos)
      << run.lines[0];
}

TEST_F(DeparturesTest, RefusedFeedsAndStopsSayWhy) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"NIE"}, "Przystanku „NIE” nie ma w rozkładzie."},
  };
  for (const auto& [stops, message] : cases) {
    const Answer run = Departures(feed_, stops, "2026-12-09T08:00");
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.errors, message);
  }
  std::ofstream(folder_.path() / "zly.zip") << "nie zip";
  EXPECT_EQ(Departures(folder_.path() / "zly.zip", {"S"}, "2026-12-09T08:00").code, 1);
  // Nothing within 24 hours: said, never a blank answer.
  const Answer none = Departures(feed_, {"L"}, "2026-12-12T10:00");
  EXPECT_TRUE(none.lines.empty());
  EXPECT_EQ(none.errors, "Brak odjazdów w ciągu 24 godzin.");
}

TEST_F(DeparturesTest, LiveFeedDelaysCancelsAndSkips) {
  using live::wire::FeedMessage;
  FeedMessage message;
  message.mutable_header()->set_gtfs_realtime_version("2.0");
  message.mutable_header()->set_timestamp(1796799600);  // 2026-12-09 08:00 in Warsaw
  const auto trip = [&](const std::string& id) {
    auto* update = message.add_entity();
    update->set_id(id);
    update->mutable_trip_update()->mutable_trip()->set_trip_id(id);
    return update->mutable_trip_update();
  };
  // T1: its own stop 2 minutes late.
  auto* t1 = trip("T1")->add_stop_time_update();
  t1->set_stop_sequence(1);
  t1->mutable_departure()->set_delay(120);
  // T3: 5 minutes late at an earlier stop named by id, carried on.
  auto* t3 = trip("T3")->add_stop_time_update();
  t3->set_stop_id("R");
  t3->mutable_arrival()->set_time(1796799600);  // 07:55 + 5 min
  // T5 cancelled; T10 skips the platform; T2 on another day: not this one.
  trip("T5")->mutable_trip()->set_schedule_relationship(live::wire::TripDescriptor::CANCELED);
  auto* t10 = trip("T10")->add_stop_time_update();
  t10->set_stop_sequence(2);
  t10->set_schedule_relationship(live::wire::TripUpdate::StopTimeUpdate::SKIPPED);
  auto* t2 = trip("T2");
  t2->mutable_trip()->set_start_date("20261210");
  t2->set_delay(600);
  const auto path = folder_.path() / "tripupdates.pb";
  std::ofstream(path, std::ios::binary) << message.SerializeAsString();

  const Answer run = Departures(feed_, {"S"}, "2026-12-09T08:00", path.string());
  ASSERT_EQ(run.code, 0) << run.errors;
  const std::vector<std::string> expected = {
      "08:00 T8 4 Co 20 S2",
      "08:07 T1 4 Pętla S1 delay=120",
      "08:10 T2 4 Rynek przez most S1",
      "08:17 T3 Nocny Pętla S1 delay=300",
      "08:20 T5 4 Rynek S2 cancelled",
      "08:20 T8 4 Co 20 S2",
  };
  auto briefs = Briefs(run);
  briefs.resize(std::min<std::size_t>(briefs.size(), expected.size()));
  EXPECT_EQ(briefs, expected);
  EXPECT_NE(run.lines[1].find("\"scheduled\": \"2026-12-09T08:05:00+01:00\""), std::string::npos);
  EXPECT_NE(run.lines[1].find("\"realtime\": true"), std::string::npos);
  EXPECT_NE(run.lines[0].find("\"realtime\": false"), std::string::npos);

  // Alerts: the Polish text of those about the chosen stops or routes, now.
  const auto alert = [&](const std::string& route, std::uint64_t end) {
    auto* entity = message.add_entity();
    entity->set_id("a" + route);
    entity->mutable_alert()->add_informed_entity()->set_route_id(route);
    if (end) entity->mutable_alert()->add_active_period()->set_end(end);
    auto* text = entity->mutable_alert()->mutable_header_text();
    text->add_translation()->set_text("Detour " + route);
    auto* polish = text->add_translation();
    polish->set_text("Objazd " + route);
    polish->set_language("pl");
  };
  alert("R4", 0);
  alert("R9", 0);
  alert("RN", 1796799600 - 1);
  const auto decoded = live::DecodeRealtime(message.SerializeAsString());
  EXPECT_EQ(
      live::AlertLines(std::get<live::RealtimeFeed>(decoded), {"S1"}, {"R4", "RN"}, 1796799600),
      std::vector<std::string>{"Objazd R4"});

  std::ofstream(path, std::ios::binary) << "\x0a\xff\xff";
  EXPECT_EQ(Departures(feed_, {"S"}, "2026-12-09T08:00", path.string()).code, 1);
}

}  // namespace
}  // namespace tablica
