// The show file: every field checked for its name, type and range, every
// picture read and every text drawn before the first byte; a refusal names
// the page and the field, and the port is not even opened.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QImage>
#include <optional>
#include <string>
#include <vector>

#include "fake_serial_platform.h"
#include "session/board_session.h"
#include "show/show_clock.h"
#include "show/show_file.h"
#include "show/show_timeline.h"
#include "show_files.h"
#include "temp_folder.h"
#include "tools/play_tool.h"

namespace tablica::show {
namespace {

using ::testing::ElementsAre;
using testing::GifBytes;
using testing::WriteText;

class ShowFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QImage logo(64, 32, QImage::Format_RGB32);
    logo.fill(Qt::white);
    WriteText(folder_.path() / "logo.png", testing::PngBytes(logo));
    const std::string gif =
        GifBytes(16, 8,
                 {testing::BarFrame(16, 8, 4, 10), testing::BarFrame(16, 8, 8, 10),
                  testing::BarFrame(16, 8, 12, 10)});
    WriteText(folder_.path() / "flaga.gif", gif);
    WriteText(folder_.path() / "polowa.gif", gif.substr(0, gif.size() / 2));
    WriteText(folder_.path() / "notatki.txt", "to nie jest obraz");
  }

  // Plays `json` as tablica-send --play would, to a fake port 7 (or the
  // port `settings` names); returns what it said.
  std::vector<std::string> Play(const std::string& json, int& exitCode,
                                std::optional<std::uint8_t> port = 7,
                                const std::string& settings = "brak-ustaw.txt") {
    WriteText(folder_.path() / "pokaz.json", json);
    std::vector<std::string> said;
    BoardSession session(platform_, [&said](const std::string& m) { said.push_back(m); });
    SimulatedClock clock(QDateTime(QDate(2024, 5, 1), QTime(12, 0)));
    std::stop_source stop;
    clock.StopAt(std::chrono::seconds(60), stop);
    exitCode = tools::PlayShowFile(
        folder_.path() / "pokaz.json", port, session, clock, stop.get_token(),
        [&said](const std::string& m) { said.push_back(m); }, folder_.path() / settings);
    return said;
  }

  testing_support::TempFolder folder_;
  tablica::testing::FakeSerialPlatform platform_;
};

struct BadShow {
  const char* what;
  std::string json;
  std::vector<std::string> said;  // each must be in the message
};

// A page of the show, wrapped in a show of one page.
std::string One(const std::string& page) {
  return R"({"pages": [)" + page + "]}";
}
const std::string kText = R"({"text": ["Peron 3"], "seconds": 5})";

// No port chosen ends at once; a chosen port that is not there is waited
// for, and a show that ends before it comes did not reach the board.
TEST_F(ShowFileTest, WithoutAPortToPlayOnItSaysWhyAndNothingIsWritten) {
  WriteText(folder_.path() / "ustaw.txt", "PORT 7\r\nMODEL\r\n");
  platform_.failingOpens.insert("COM7");
  const struct {
    const char* settings;
    std::vector<std::string> said;
  } cases[] = {
      {"ustaw.txt", {"Nie mogę otworzyć portu COM7.", "Brak portu COM7, czekam na jego powrót."}},
      {"brak-ustaw.txt", {"Nie wybrano portu komunikacyjnego."}},
  };
  for (const auto& c : cases) {
    int exitCode = 0;
    EXPECT_EQ(Play(One(kText), exitCode, std::nullopt, c.settings), c.said);
    EXPECT_EQ(exitCode, 1);
  }
  EXPECT_TRUE(platform_.writeRequests.empty());
}

TEST_F(ShowFileTest, EveryBadShowIsRefusedNamingPageAndFieldAndNothingIsOpened) {
  const std::vector<BadShow> cases = {
      {"not JSON", "{\"pages\": [", {"nie jest poprawnym JSON-em"}},
      {"a list, not an object", "[]", {"Pokaz musi być obiektem"}},
      {"an unknown field",
       R"({"colour": 1, "pages": [)" + kText + "]}",
       {"Pokaz: pole „colour” jest nieznane."}},
      {"a negative repeat",
       R"({"repeat": -1, "pages": [)" + kText + "]}",
       {"Pokaz: pole „repeat”", "całkowitą"}},
      {"repeat as text", R"({"repeat": "2", "pages": [)" + kText + "]}", {"Pokaz: pole „repeat”"}},
      {"repeat not whole",
       R"({"repeat": 1.5, "pages": [)" + kText + "]}",
       {"Pokaz: pole „repeat”"}},
      {"refresh of zero", R"({"refresh": 0, "pages": [)" + kText + "]}", {"Pokaz: pole „refresh”"}},
      {"a blank range past 24:00",
       R"({"blank": ["25:00-06:00"], "pages": [)" + kText + "]}",
       {"Pokaz: pole „blank”", "25:00-06:00"}},
      {"an empty blank range",
       R"({"blank": ["10:00-10:00"], "pages": [)" + kText + "]}",
       {"Pokaz: pole „blank”"}},
      {"blank as a number", R"({"blank": 22, "pages": [)" + kText + "]}", {"Pokaz: pole „blank”"}},
      {"no pages", R"({"pages": []})", {"Pokaz: pole „pages”"}},
      {"pages as an object", R"({"pages": {}})", {"Pokaz: pole „pages”"}},
      {"a page that is a number", R"({"pages": [1]})", {"Strona 1:", "obiektem"}},
      {"a page without content", One(R"({"seconds": 3})"), {"Strona 1: Brak treści"}},
      {"two contents",
       One(R"({"text": ["A"], "picture": "logo.png", "seconds": 3})"),
       {"Strona 1:", "„text”", "„picture”"}},
      {"three lines of text",
       One(R"({"text": ["A", "B", "C"], "seconds": 3})"),
       {"Strona 1: pole „text”"}},
      {"text as a number", One(R"({"text": 5, "seconds": 3})"), {"Strona 1: pole „text”"}},
      {"seconds as text", One(R"({"text": ["A"], "seconds": "10"})"), {"Strona 1: pole „seconds”"}},
      {"seconds of zero", One(R"({"text": ["A"], "seconds": 0})"), {"Strona 1: pole „seconds”"}},
      {"a still page without seconds among others",
       R"({"pages": [)" + kText + R"(, {"text": ["B"]}]})",
       {"Strona 2:", "„seconds”"}},
      {"speed on a text page",
       One(R"({"text": ["A"], "speed": 5, "seconds": 3})"),
       {"Strona 1: pole „speed”", "„text”"}},
      {"a field no content has",
       One(R"({"text": ["A"], "colour": "red", "seconds": 3})"),
       {"Strona 1: pole „colour” jest nieznane"}},
      {"a negative speed", One(R"({"scroll": "Uwaga", "speed": -3})"), {"Strona 1: pole „speed”"}},
      {"times of zero",
       One(R"({"animation": "flaga.gif", "times": 0})"),
       {"Strona 1: pole „times”"}},
      {"times with seconds",
       One(R"({"scroll": "Uwaga", "times": 2, "seconds": 5})"),
       {"Strona 1:", "„seconds”", "„times”"}},
      {"an unknown placement",
       One(R"({"picture": "logo.png", "place": "middle", "seconds": 3})"),
       {"Strona 1: pole „place”", "middle"}},
      {"an unknown dots method",
       One(R"({"picture": "logo.png", "dots": "halftone", "seconds": 3})"),
       {"Strona 1: pole „dots”"}},
      {"a threshold over 255",
       One(R"({"picture": "logo.png", "threshold": 300, "seconds": 3})"),
       {"Strona 1: pole „threshold”"}},
      {"a threshold with diffusion",
       One(R"({"picture": "logo.png", "dots": "diffusion", "threshold": 100, "seconds": 3})"),
       {"Strona 1: pole „threshold”", "„dots”"}},
      {"departures without stops",
       One(R"({"departures": {"feed": "r.zip"}, "seconds": 3})"),
       {"Strona 1: Brak pola „departures.stops”"}},
      {"departures as text", One(R"({"departures": "r.zip"})"), {"Strona 1: pole „departures”"}},
      {"a field departures do not take",
       One(R"({"departures": {"feed": "r.zip", "stops": "1", "url": "x"}})"),
       {"Strona 1: pole „departures.url” jest nieznane"}},
      {"rows of zero",
       One(R"({"departures": {"feed": "r.zip", "stops": "1", "rows": 0}})"),
       {"Strona 1: pole „departures.rows”"}},
      {"a data line from a file",
       One(R"({"data": {"url": "dane.json", "pointer": "/t"}})"),
       {"Strona 1: pole „data.url”", "http"}},
      {"a pointer without its slash",
       One(R"({"data": {"url": "http://127.0.0.1/d", "pointer": "t"}})"),
       {"Strona 1: pole „data.pointer”"}},
      {"asked every second",
       One(R"({"rss": {"url": "http://127.0.0.1/r", "every": 1}})"),
       {"Strona 1: pole „rss.every”"}},
      {"a live page without seconds among others",
       R"({"pages": [)" + kText + R"(, {"rss": {"url": "http://127.0.0.1/r"}}]})",
       {"Strona 2:", "„seconds”"}},
      {"an unknown lit side",
       One(R"({"picture": "logo.png", "lit": "yes", "seconds": 3})"),
       {"Strona 1: pole „lit”"}},
      {"an unknown alignment",
       One(R"({"text": ["A"], "align": "top", "seconds": 3})"),
       {"Strona 1: pole „align”"}},
      {"a size of zero",
       One(R"({"text": ["A"], "size": 0, "seconds": 3})"),
       {"Strona 1: pole „size”"}},
      {"a font that is a number",
       One(R"({"text": ["A"], "font": 7, "seconds": 3})"),
       {"Strona 1: pole „font”"}},
      {"second that is text",
       One(R"({"text": ["A"], "second": "B", "seconds": 3})"),
       {"Strona 1: pole „second”"}},
      {"seconds inside second",
       One(R"({"text": ["A"], "second": {"text": ["B"], "seconds": 2}})"),
       {"Strona 1, druga tablica: pole „seconds” jest nieznane"}},
      {"a bad field for the second board",
       One(R"({"text": ["A"], "second": {"picture": "logo.png", "lit": 1}, "seconds": 2})"),
       {"Strona 1, druga tablica: pole „lit”"}},
      {"a zone outside the board",
       One(R"({"zones": [{"x": 100, "y": 0, "w": 40, "h": 16, "text": ["A"]}], "seconds": 3})"),
       {"Strona 1, strefa 1: Strefa wychodzi poza tablicę", "x = 140"}},
      {"a zone of no size",
       One(R"({"zones": [{"x": 0, "y": 0, "w": 8, "h": 8, "text": ["A"]},
                         {"x": 0, "y": 0, "w": 0, "h": 8, "text": ["A"]}], "seconds": 3})"),
       {"Strona 1, strefa 2: pole „w” musi być liczbą całkowitą od 1"}},
      {"a zone without content",
       One(R"({"text": ["A"], "second": {"zones": [{"x": 0, "y": 0, "w": 8, "h": 8}]}})"),
       {"Strona 1, druga tablica, strefa 1: Brak treści"}},
      {"zones in a zone",
       One(R"({"zones": [{"x": 0, "y": 0, "w": 8, "h": 8, "zones": []}], "seconds": 3})"),
       {"Strona 1, strefa 1: pole „zones” nie może być w strefie"}},
      {"a weekday 8",
       One(R"({"text": ["A"], "when": {"days": [1, 8]}})"),
       {"Strona 1: pole „when”", "„days”"}},
      {"an hour 25",
       One(R"({"text": ["A"], "when": {"from": "25:00"}})"),
       {"Strona 1: pole „when”", "„from”"}},
      {"from equal to to",
       One(R"({"text": ["A"], "when": {"from": "06:00", "to": "06:00"}})"),
       {"„from” równe „to”"}},
      {"dates backwards",
       One(R"({"text": ["A"], "when": {"dates": ["2027-01-06..2026-12-27"]}})"),
       {"Strona 1: pole „when”", "2027-01-06..2026-12-27"}},
      {"a 30th of February",
       One(R"({"text": ["A"], "when": {"dates": ["2027-02-30"]}})"),
       {"„2027-02-30”"}},
      {"a when key unknown",
       One(R"({"text": ["A"], "when": {"hours": "6-9"}})"),
       {"Strona 1: pole „when”", "„hours”"}},
      {"an unknown transition",
       One(R"({"text": ["A"], "transition": "fade"})"),
       {"Strona 1: pole „transition”", "fade"}},
      {"a show's unknown transition",
       R"({"transition": 1, "pages": [)" + kText + "]}",
       {"Pokaz: pole „transition”"}},
      {"when on otherwise",
       R"({"otherwise": {"text": ["A"], "when": {}}, "pages": [)" + kText + "]}",
       {"Strona „otherwise”: pole „when”"}},
      {"otherwise's missing picture",
       R"({"otherwise": {"picture": "brak.png"}, "pages": [)" + kText + "]}",
       {"Strona „otherwise”: Nie mogę otworzyć pliku"}},
      {"a missing picture",
       R"({"pages": [)" + kText + R"(, {"picture": "brak.png", "seconds": 3}]})",
       {"Strona 2: Nie mogę otworzyć pliku", "brak.png"}},
      {"a file that is not a picture",
       One(R"({"picture": "notatki.txt", "seconds": 3})"),
       {"Strona 1:", "notatki.txt"}},
      {"a bad data address",
       One(R"({"picture": "data:image/png;base64,@@@", "seconds": 3})"),
       {"Strona 1: pole „picture”", "data:"}},
      {"text that does not fit",
       R"({"pages": [)" + kText + "," + kText +
           R"(, {"text": ["ABCDEFGHIJKLMNOPQ", "x"], "seconds": 3}]})",
       {"Strona 3: Tekst nie mieści się na tablicy 128 × 32: jest o 8 punktów za szeroki."}},
      {"a clock that does not fit",
       One(R"({"text": ["{date:dddd d MMMM yyyy}"], "seconds": 3})"),
       {"Strona 1: Tekst nie mieści się"}},
      {"a scrolling line too high",
       One(R"({"scroll": "Uwaga", "size": 48})"),
       {"Strona 1: Tekst", "za wysoki"}},
      {"a font that is not there",
       One(R"({"text": ["A"], "font": "Brak Takiej", "seconds": 3})"),
       {"Strona 1:", "czcionki „Brak Takiej”"}},
      {"a broken animation",
       One(R"({"animation": "polowa.gif"})"),
       {"Strona 1:", "polowa.gif", "uszkodzony"}},
      {"a second board's missing animation",
       One(R"({"text": ["A"], "second": {"animation": "brak.gif"}, "seconds": 2})"),
       {"Strona 1, druga tablica:", "brak.gif"}},
  };
  for (const BadShow& bad : cases) {
    SCOPED_TRACE(bad.what);
    int exitCode = 0;
    const std::vector<std::string> said = Play(bad.json, exitCode);
    EXPECT_EQ(exitCode, 1);
    ASSERT_EQ(said.size(), 1u) << (said.empty() ? "" : said[0]);
    for (const std::string& part : bad.said)
      EXPECT_NE(said[0].find(part), std::string::npos) << said[0];
    EXPECT_TRUE(platform_.calls.empty()) << platform_.calls.front();
    EXPECT_TRUE(platform_.wire.empty());
  }
}

TEST_F(ShowFileTest, AShowFromTheNetworkCarriesItsPicturesAndNamesNoFile) {
  QImage picture(128, 32, QImage::Format_RGB32);
  picture.fill(Qt::black);
  const QByteArray inline64 = QByteArray::fromStdString(testing::PngBytes(picture)).toBase64();
  const std::string good =
      R"({"pages": [{"picture": "data:image/png;base64,)" + inline64.toStdString() + R"("}]})";
  const ShowModelResult model =
      ParseShow(QByteArray::fromStdString(good), folder_.path(), ShowOrigin::Network);
  ASSERT_TRUE(model.show) << Sentence(model.error);
  TimelineResult made = MakeTimeline(*model.show, QDateTime::currentDateTime());
  ASSERT_TRUE(made.timeline) << Sentence(made.error);
  EXPECT_EQ(made.timeline->At(milliseconds(0), QDateTime::currentDateTime()).first.LitCount(),
            128 * 32);

  const std::string logo = (folder_.path() / "logo.png").string();
  const std::vector<std::pair<std::string, std::string>> refused = {
      {R"({"pages": [{"picture": "logo.png"}]})", "Strona 1: pole „picture”"},
      {R"({"pages": [{"picture": ")" + logo + R"("}]})", "Strona 1: pole „picture”"},
      {R"({"pages": [{"animation": "flaga.gif"}]})", "Strona 1: pole „animation”"},
      {R"({"pages": [{"text": ["A"], "second": {"picture": "logo.png"}}]})",
       "Strona 1, druga tablica: pole „picture”"},
      {R"({"pages": [{"text": ["A"], "font": "/usr/share/fonts/x.ttf"}]})",
       "Strona 1: pole „font”"},
      {R"({"pages": [{"scroll": "A", "font": "C:\\Windows\\Fonts\\x.ttf"}]})",
       "Strona 1: pole „font”"},
      {R"({"pages": [{"zones": [{"x": 0, "y": 0, "w": 9, "h": 9,
          "departures": {"feed": "rozklad.zip", "stops": ["1"]}}]}]})",
       "Strona 1, strefa 1: pole „departures.feed”"},
      {R"({"pages": [{"departures": {"feed": "http://127.0.0.1/r.zip", "stops": ["1"],
          "realtime": "tu.pb"}}]})",
       "Strona 1: pole „departures.realtime”"},
  };
  for (const auto& [json, said] : refused) {
    SCOPED_TRACE(json);
    const ShowModelResult parsed =
        ParseShow(QByteArray::fromStdString(json), folder_.path(), ShowOrigin::Network);
    EXPECT_FALSE(parsed.show);
    const std::string sentence = Sentence(parsed.error);
    EXPECT_NE(sentence.find(said), std::string::npos) << sentence;
    EXPECT_NE(sentence.find("przez sieć"), std::string::npos) << sentence;
  }
}

TEST_F(ShowFileTest, EveryFieldOfAGoodShowIsTaken) {
  const std::string json = R"({
    "repeat": 3, "blank": ["22:00-06:00", "12:00-12:30"], "refresh": 60,
    "pages": [
      {"text": "Peron 3", "font": "Unifont", "size": 16, "align": "left", "seconds": 2.5},
      {"picture": "logo.png", "place": "fill", "dots": "threshold", "threshold": 90,
       "lit": "bright", "seconds": 5},
      {"scroll": "Uwaga!", "speed": 40, "times": 2},
      {"animation": "flaga.gif", "place": "stretch", "dots": "ordered", "times": 3},
      {"text": ["T1"], "second": {"scroll": "T2", "speed": 8}, "seconds": 4}
    ]})";
  const ShowModelResult model =
      ParseShow(QByteArray::fromStdString(json), folder_.path(), ShowOrigin::File);
  ASSERT_TRUE(model.show) << Sentence(model.error);
  const ShowModel& show = *model.show;
  EXPECT_EQ(show.repeat, 3);
  ASSERT_EQ(show.blank.size(), 2u);
  EXPECT_EQ(show.blank[0].from, 22 * 60);
  EXPECT_EQ(show.blank[0].to, 6 * 60);
  EXPECT_EQ(show.blank[1].to, 12 * 60 + 30);
  EXPECT_EQ(show.refresh, milliseconds(60'000));
  ASSERT_EQ(show.pages.size(), 5u);
  const ContentModel& text = show.pages[0].first;
  EXPECT_EQ(text.options.text, std::vector<std::string>{"Peron 3"});
  EXPECT_EQ(text.options.font, "Unifont");
  EXPECT_EQ(text.options.size, 16);
  EXPECT_EQ(text.options.align, picture::Alignment::Left);
  EXPECT_EQ(show.pages[0].seconds, milliseconds(2500));
  const ContentModel& picture = show.pages[1].first;
  EXPECT_EQ(picture.kind, ContentKind::Picture);
  EXPECT_EQ(picture.picture.path, folder_.path() / "logo.png");
  EXPECT_EQ(picture.options.placement, picture::Placement::Fill);
  EXPECT_EQ(picture.options.level, 90);
  EXPECT_EQ(picture.options.lit, picture::LitSide::Bright);
  EXPECT_EQ(show.pages[2].first.speed, 40);
  EXPECT_EQ(show.pages[2].first.times, 2);
  EXPECT_FALSE(show.pages[2].seconds);
  EXPECT_EQ(show.pages[3].first.options.dots, picture::DotsMethod::Ordered);
  EXPECT_EQ(show.pages[3].first.options.placement, picture::Placement::Stretch);
  ASSERT_TRUE(show.pages[4].second);
  EXPECT_EQ(show.pages[4].second->kind, ContentKind::Scroll);
  EXPECT_EQ(show.pages[4].second->speed, 8);

  TimelineResult made = MakeTimeline(show, QDateTime::currentDateTime());
  ASSERT_TRUE(made.timeline) << Sentence(made.error);
  EXPECT_TRUE(made.timeline->UsesSecondBoard());
}

}  // namespace
}  // namespace tablica::show
