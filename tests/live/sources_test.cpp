// The bounded HTTP client and the data sources against a loopback server
// that answers well, fails, drips slowly, sends too much and redirects.

// Before httplib.h: the system's netdb.h, which it brings, defines NO_DATA.
#include "transit_live.pb.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "feed_kit.h"
#include "live/data_source.h"
#include "live/departures_view.h"
#include "live/feed_cache.h"
#include "live/live_departures.h"
#include "live/live_line.h"
#include "live/live_source.h"
#include "temp_folder.h"

namespace tablica::live {
namespace {

class LoopbackServer {
 public:
  LoopbackServer() {
    server_.Get("/dane.json", [](const auto&, auto& res) {
      res.set_content(R"({"current": {"temperature_2m": -3.5, "a/b": [1, "x~y"]}})",
                      "application/json");
    });
    server_.Get("/rss.xml", [](const auto&, auto& res) {
      res.set_content(
          "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Kanał</title>"
          "<item><title>Objazd &amp; remont</title></item><item><title>Druga"
          "</title></item><item><title>Trzecia</title></item></channel></rss>",
          "application/rss+xml");
    });
    server_.Get("/atom.xml", [](const auto&, auto& res) {
      res.set_content(
          "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>K</title>"
          "<entry><title type=\"text\">Pierwsza</title></entry></feed>",
          "application/atom+xml");
    });
    server_.Get("/zle", [](const auto&, auto& res) { res.status = 500; });
    server_.Get("/wolno", [](const auto&, auto& res) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1500));
      res.set_content("za późno", "text/plain");
    });
    server_.Get("/duzo", [](const auto&, auto& res) {
      res.set_content(std::string(200000, 'x'), "text/plain");
    });
    server_.Get(R"(/skok/(\d+))", [](const auto& req, auto& res) {
      const int left = std::stoi(req.matches[1]);
      res.set_redirect(left == 0 ? "/dane.json" : "/skok/" + std::to_string(left - 1));
    });
    server_.Get("/ftp", [](const auto&, auto& res) { res.set_redirect("ftp://127.0.0.1/x"); });
    server_.Get("/rt", [this](const auto&, auto& res) {
      wire::FeedMessage message;
      message.mutable_header()->set_gtfs_realtime_version("2.0");
      message.mutable_header()->set_timestamp(static_cast<std::uint64_t>(stamp.load()));
      auto* update = message.add_entity();
      update->set_id("1");
      update->mutable_trip_update()->mutable_trip()->set_trip_id("T1");
      update->mutable_trip_update()->set_delay(120);
      res.set_content(message.SerializeAsString(), "application/x-protobuf");
    });
    server_.Get("/kawalki", [](const auto&, auto& res) {  // 200,000 bytes over 0.2 s
      res.set_chunked_content_provider("application/zip", [](std::size_t sent, auto& sink) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const std::string chunk(10000, 'x');
        if (sent < 200000) return sink.write(chunk.data(), chunk.size());
        sink.done();
        return true;
      });
    });
    server_.Get("/etag", [this](const auto& req, auto& res) {
      ++asked;
      if (req.get_header_value("If-None-Match") == "\"v1\"") {
        res.status = 304;
        return;
      }
      res.set_header("ETag", "\"v1\"");
      res.set_content("rozkład", "application/zip");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
  }
  ~LoopbackServer() {
    server_.stop();
    thread_.join();
  }
  std::atomic<Instant> stamp{0};  // the live feed's time stamp
  std::atomic<int> asked{0};      // requests for /etag
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
};

TEST(SourcesTest, FetchIsBoundedInSizeTimeRedirectsAndSchemes) {
  LoopbackServer server;
  FetchLimits limits;
  limits.maxBytes = 100000;
  limits.read = std::chrono::milliseconds(500);
  struct Case {
    std::string url;
    std::string error;  // a part of the message; empty: a good answer
  };
  const std::vector<Case> cases = {
      {server.Url("/dane.json"), ""},
      {server.Url("/skok/4"), ""},  // five redirects in all
      {server.Url("/skok/5"), "przekierowuje zbyt wiele razy"},
      {server.Url("/ftp"), "nie jest adresem http ani https"},
      {"file:///etc/passwd", "nie jest adresem http ani https"},
      {server.Url("/zle"), "odpowiedział kodem 500"},
      {server.Url("/duzo"), "większa niż 97 KiB"},
      {server.Url("/wolno"), "Nie można pobrać"},
  };
  for (const Case& c : cases) {
    const FetchResult result = Fetch(c.url, limits);
    if (c.error.empty()) {
      EXPECT_EQ(result.error, "") << c.url;
      EXPECT_NE(result.body.find("temperature_2m"), std::string::npos) << c.url;
    } else {
      EXPECT_NE(result.error.find(c.error), std::string::npos) << c.url << ": " << result.error;
      EXPECT_TRUE(result.body.empty());
    }
  }
  const FetchResult first = Fetch(server.Url("/etag"), limits);
  EXPECT_EQ(first.etag, "\"v1\"");
  const FetchResult again = Fetch(server.Url("/etag"), limits, first.etag);
  EXPECT_TRUE(again.notModified);
  EXPECT_EQ(again.error, "");
}

TEST(SourcesTest, JsonPointersAndFeedTitles) {
  LoopbackServer server;
  const std::string json = Fetch(server.Url("/dane.json"), {}).body;
  const std::vector<std::pair<std::string, std::string>> values = {
      {"/current/temperature_2m", "-3.5"},
      {"/current/a~1b/0", "1"},
      {"/current/a~1b/1", "x~y"},
      {"/current/a~1b", "[1,\"x~y\"]"},
  };
  for (const auto& [pointer, value] : values) {
    const auto text = JsonPointerText(json, pointer);
    ASSERT_EQ(text.index(), 0u) << pointer << ": " << std::get<1>(text);
    EXPECT_EQ(std::get<0>(text), value) << pointer;
  }
  for (const std::string pointer :
       {"/brak", "/current/a~1b/01", "/current/a~1b/2", "current", "/x~2"}) {
    EXPECT_EQ(JsonPointerText(json, pointer).index(), 1u) << pointer;
  }
  EXPECT_EQ(JsonPointerText("{nie json", "/a").index(), 1u);
  EXPECT_EQ(FillValue("Temperatura {value} °C", "-3.5"), "Temperatura -3.5 °C");

  const auto rss = FeedTitles(Fetch(server.Url("/rss.xml"), {}).body, 2);
  EXPECT_EQ(std::get<0>(rss), (std::vector<std::string>{"Objazd & remont", "Druga"}));
  const auto atom = FeedTitles(Fetch(server.Url("/atom.xml"), {}).body, 5);
  EXPECT_EQ(std::get<0>(atom), std::vector<std::string>{"Pierwsza"});
  EXPECT_EQ(FeedTitles(json, 5).index(), 1u);
}

TEST(SourcesTest, AFailingSourceKeepsItsLastGoodTextAndSaysItOnce) {
  SourceState source("Brak danych");
  const auto now = SourceState::Clock::now();
  EXPECT_EQ(source.Failed("serwer nie odpowiada", now), "serwer nie odpowiada");
  EXPECT_EQ(source.Text(), "Brak danych");
  source.Succeeded("-3.5 °C", now);
  EXPECT_EQ(source.Failed("serwer nie odpowiada", now + std::chrono::seconds(30)),
            "serwer nie odpowiada");
  EXPECT_EQ(source.Failed("serwer nie odpowiada", now + std::chrono::seconds(60)), "");
  EXPECT_EQ(source.Text(), "-3.5 °C");
  EXPECT_EQ(source.Age(now + std::chrono::seconds(60)), std::chrono::seconds(60));
}

TEST(SourcesTest, DataAndNewsLinesKeepTheirLastGoodTextAndSayAFaultOnce) {
  LoopbackServer server;
  std::vector<std::string> log;
  const auto record = [&](const std::string& line) { log.push_back(line); };
  const auto source = [](LineSource::Kind kind, std::string url) {
    LineSource made;
    made.kind = kind;
    made.url = std::move(url);
    made.items = 2;
    return made;
  };
  LineSource data = source(LineSource::Kind::Data, server.Url("/dane.json"));
  data.pointer = "/current/temperature_2m";
  data.text = "Temperatura {value} °C";
  LiveLine temperature(data, record);
  temperature.Refresh(0);
  EXPECT_EQ(temperature.Text(), "Temperatura -3.5 °C");
  LiveLine news(source(LineSource::Kind::Rss, server.Url("/rss.xml")), record);
  news.Refresh(0);
  EXPECT_EQ(news.Text(), "Objazd & remont  •  Druga");
  LiveLine failing(source(LineSource::Kind::Rss, server.Url("/zle")), record);
  for (Instant now : {0, 100, 300, 600}) failing.Refresh(now);
  EXPECT_EQ(failing.Text(), "Brak danych");
  EXPECT_EQ(log.size(), 1u);
  EXPECT_FALSE(failing.Status(600).age.has_value());
  EXPECT_NE(failing.Status(600).fault.find("500"), std::string::npos);
}

TEST(SourcesTest, WhenADepartureLeavesAsTheBoardSaysIt) {
  constexpr Instant now = 1796799600;  // 08:00 in Warsaw
  struct Case {
    Instant in;
    std::optional<int> delay;
    bool cancelled;
    std::string when;
  };
  const std::vector<Case> cases = {
      {0, {}, false, "teraz"},     {59, {}, false, "teraz"},    {180, {}, false, "3 min"},
      {3599, {}, false, "59 min"}, {3600, {}, false, "09:00"},  {180, 120, false, "3 min +2"},
      {180, 30, false, "3 min"},   {180, {}, true, "odwołany"},
  };
  for (const Case& c : cases) {
    Departure departure;
    departure.time = now + c.in;
    departure.delay = c.delay;
    departure.cancelled = c.cancelled;
    departure.zone = QTimeZone("Europe/Warsaw");
    EXPECT_EQ(WhenText(departure, now), c.when) << c.in;
  }
  EXPECT_EQ(MakeView({}, now, true, "Brak odjazdów").Lines(),
            std::vector<std::string>{"Brak odjazdów"});
}

TEST(SourcesTest, AStaleOrFailingLiveFeedShowsTimetableTimesMarkedAndIsLoggedOnce) {
  LoopbackServer server;
  testing_support::TempFolder folder;
  testing_support::WriteFeed(folder.path() / "rozklad.zip", testing_support::kSmallFeed);
  constexpr Instant now = 1796799600;  // 08:00 in Warsaw
  server.stamp = now;
  DeparturesSource source;
  source.feed = (folder.path() / "rozklad.zip").string();
  source.realtime = server.Url("/rt");
  source.query.stops = {"S1"};
  source.rows = 1;
  std::vector<std::string> log;
  LiveDepartures departures(source, folder.path(),
                            [&](const std::string& line) { log.push_back(line); });
  EXPECT_EQ(departures.View(now).Lines(), std::vector<std::string>{"Brak odjazdów"});
  departures.Refresh(now);
  EXPECT_EQ(departures.View(now).Lines(), std::vector<std::string>{"4 Pętla 7 min +2"});
  departures.Refresh(now + 100);  // the feed still says 08:00: stale
  departures.Refresh(now + 140);
  EXPECT_EQ(departures.View(now + 140).Lines(), std::vector<std::string>{"4 Pętla 2 min rozkł."});
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("starsze niż 90 s"), std::string::npos);
  const auto status = departures.Status(now + 140);
  ASSERT_EQ(status.size(), 2u);
  EXPECT_EQ(status[1].age, 140);
  EXPECT_FALSE(status[1].fault.empty());
  server.stamp = now + 170;
  departures.Refresh(now + 180);
  EXPECT_EQ(departures.View(now + 180).Lines(), std::vector<std::string>{"4 Pętla 4 min +2"});
}

TEST(SourcesTest, AFeedAddressIsKeptAndAskedAgainAtMostDailyWithItsETag) {
  LoopbackServer server;
  testing_support::TempFolder folder;
  const FeedCache cache(folder.path());
  constexpr Instant now = 1796799600;
  const auto first = cache.Update(server.Url("/etag"), now);
  ASSERT_EQ(first.error, "");
  EXPECT_TRUE(first.changed);
  EXPECT_EQ(cache.Update(server.Url("/etag"), now + 3600).changed, false);
  EXPECT_EQ(server.asked, 1);
  const auto dayLater = cache.Update(server.Url("/etag"), now + 25 * 3600);
  EXPECT_EQ(server.asked, 2);  // answered 304: the kept file stays
  EXPECT_FALSE(dayLater.changed);
  EXPECT_EQ(dayLater.file, first.file);
  std::ifstream kept(first.file);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "rozkład");
}

TEST(SourcesTest, TwoFetchesOfOneFeedAtOnceKeepOneWholeAnswer) {
  LoopbackServer server;
  testing_support::TempFolder folder;
  const FeedCache cache(folder.path());
  FeedCache::Result results[2];
  std::thread other([&] { results[1] = cache.Update(server.Url("/kawalki"), 1796799600); });
  results[0] = cache.Update(server.Url("/kawalki"), 1796799600);
  other.join();
  for (const auto& result : results) {
    ASSERT_EQ(result.error, "");
    std::ifstream kept(result.file, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), std::string(200000, 'x'));
  }
  for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
    EXPECT_NE(entry.path().extension(), ".part") << entry.path();
  }
}

}  // namespace
}  // namespace tablica::live
