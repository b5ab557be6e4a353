// The service's rules that need no board: its command line, the token, the
// address parameters of a request, and the JSON it answers with.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <fstream>

#include "service/access_token.h"
#include "service/request_content.h"
#include "service/request_framing.h"
#include "service/service_json.h"
#include "service/service_options.h"
#include "service/site_rules.h"
#include "temp_folder.h"

namespace tablica::service {
namespace {

struct OptionsCase {
  std::vector<std::string> args;
  std::string error;  // part of the message; empty: accepted
};

TEST(ServiceOptions, CommandLineTable) {
  const std::vector<OptionsCase> cases = {
      {{}, ""},
      {{"--port", "7", "--listen", "0.0.0.0:9000", "--token-file", "t.txt"}, ""},
      {{"--listen=[::1]:8081", "--name=hala-2", "--max-upload", "1024"}, ""},
      {{"--mqtt", "127.0.0.1:1883", "--mqtt-user", "u", "--mqtt-password-file", "p"}, ""},
      {{"--mqtt", "b:1883", "--group", "perony", "--group=hala_1", "--url", "https://t.lan/"}, ""},
      {{"--group", "perony"}, "tylko z --mqtt"},
      {{"--mqtt", "b:1883", "--group", "a/b"}, "Nazwa grupy"},
      {{"--mqtt", "b:1883", "--group", ""}, "Nazwa grupy"},
      {{"--url", "tablica.lan:8080"}, "http://"},
      {{"--url", "http://a b/"}, "http://"},
      {{"--name", "group"}, "group"},
      {{"--port", "0"}, "1..254"},
      {{"--port", "255"}, "1..254"},
      {{"--port", "7x"}, "1..254"},
      {{"--listen", "8080"}, "ADRES:PORT"},
      {{"--listen", "127.0.0.1:0"}, "ADRES:PORT"},
      {{"--listen", "::1:8080"}, "ADRES:PORT"},
      {{"--name", "hala/2"}, "litery łacińskie"},
      {{"--name", "all"}, "all"},
      {{"--name", "hala#"}, "litery łacińskie"},
      {{"--mqtt-user", "u"}, "tylko z --mqtt"},
      {{"--mqtt", "b:1883", "--mqtt-password-file", "p"}, "wymaga --mqtt-user"},
      {{"--max-upload", "0"}, "większą od zera"},
      {{"--max-upload", "-5"}, "większą od zera"},
      {{"--token"}, "Nieznana opcja: --token."},
      {{"--port"}, "Brak wartości po --port."},
      {{"obraz.png"}, "Nieoczekiwany argument"},
  };
  for (const OptionsCase& c : cases) {
    const ParsedServiceOptions parsed = ParseServiceOptions(c.args);
    std::string line;
    for (const std::string& arg : c.args) line += arg + " ";
    if (c.error.empty()) {
      EXPECT_TRUE(parsed.options.has_value()) << line << parsed.error;
    } else {
      EXPECT_FALSE(parsed.options.has_value()) << line;
      EXPECT_NE(parsed.error.find(c.error), std::string::npos) << line << " -> " << parsed.error;
    }
  }
}

TEST(ServiceOptions, ValuesAreKept) {
  const ParsedServiceOptions parsed =
      ParseServiceOptions({"--port", "12", "--listen", "[::1]:8081", "--name", "Peron_3",
                           "--max-upload=2048", "--mqtt", "broker.lan:1883", "--mqtt-user",
                           "tablica", "--group", "a", "--group", "b", "--group", "a"});
  ASSERT_TRUE(parsed.options) << parsed.error;
  const ServiceOptions& options = *parsed.options;
  EXPECT_EQ(options.port, 12);
  EXPECT_EQ(options.listen.host, "::1");
  EXPECT_EQ(options.listen.port, 8081);
  EXPECT_EQ(options.name, "Peron_3");
  EXPECT_EQ(options.maxUpload, 2048U);
  ASSERT_TRUE(options.mqtt);
  EXPECT_EQ(options.mqtt->broker.host, "broker.lan");
  EXPECT_EQ(options.mqtt->broker.port, 1883);
  EXPECT_EQ(options.mqtt->user, "tablica");
  EXPECT_EQ(options.mqtt->maxPayload, 2048U);  // MQTT payloads follow the upload limit
  EXPECT_EQ(options.mqtt->groups, (std::vector<std::string>{"a", "b"}));

  const ServiceOptions defaults = *ParseServiceOptions({}).options;
  EXPECT_EQ(defaults.listen.host, "127.0.0.1");
  EXPECT_EQ(defaults.listen.port, 8080);
  EXPECT_EQ(defaults.maxUpload, 32U * 1024 * 1024);
  EXPECT_FALSE(defaults.port || defaults.tokenFile || defaults.mqtt || defaults.name);
  EXPECT_TRUE(ParseServiceOptions({"--help"}).help);
}

TEST(ServiceOptions, OnlyLoopbackListensWithoutToken) {
  for (const char* host : {"127.0.0.1", "127.1.2.3", "::1", "localhost"}) {
    EXPECT_TRUE(IsLoopbackHost(host)) << host;
    EXPECT_EQ(CheckListenNeedsToken(host, false), "") << host;
  }
  for (const char* host : {"0.0.0.0", "::", "192.168.1.10", "127.0.0.256", "127.0.0", "127.0.0.1.5",
                           "127.0.0.01x", "localhost.evil", "1127.0.0.1"}) {
    EXPECT_FALSE(IsLoopbackHost(host)) << host;
    EXPECT_NE(CheckListenNeedsToken(host, false).find("--token-file"), std::string::npos) << host;
    EXPECT_EQ(CheckListenNeedsToken(host, true), "") << host;
  }
}

TEST(AccessToken, BearerTable) {
  const std::string token = "s3cret-Token";
  EXPECT_TRUE(BearerMatches("Bearer s3cret-Token", token));
  for (const char* header : {"", "Bearer", "Bearer ", "bearer s3cret-Token", "Basic s3cret-Token",
                             "Bearer s3cret-Tokem", "Bearer s3cret-Token ", "Bearer s3cret-Toke",
                             "Bearer s3cret-Token2", "Bearer  s3cret-Token"}) {
    EXPECT_FALSE(BearerMatches(header, token)) << header;
  }
  EXPECT_FALSE(BearerMatches("Bearer ", ""));  // no token never matches
}

TEST(AccessToken, FileTable) {
  testing_support::TempFolder folder;
  struct FileCase {
    std::string content;
    std::optional<std::string> token;
  };
  const std::vector<FileCase> cases = {
      {"abc123\n", "abc123"},     {"  abc123  \r\nsecond line ignored\n", "abc123"},
      {"\n\nabc\n", "abc"},       {"", std::nullopt},
      {" \n\t\n", std::nullopt},  {"two words\n", std::nullopt},
      {"zażółć\n", std::nullopt}, {std::string(5000, 'a'), std::nullopt},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const auto file = folder.path() / ("token" + std::to_string(i));
    std::ofstream(file, std::ios::binary) << cases[i].content;
    const TokenResult read = ReadTokenFile(file);
    EXPECT_EQ(read.token, cases[i].token) << i;
    EXPECT_EQ(read.error.empty(), cases[i].token.has_value()) << i << read.error;
  }
  EXPECT_NE(ReadTokenFile(folder.path() / "missing").error.find("Nie mogę odczytać"),
            std::string::npos);
  EXPECT_FALSE(ReadTokenFile(folder.path()).token);  // a folder is no token file
}

TEST(RequestParams, PictureOptionsTable) {
  struct QueryCase {
    QueryParams params;
    bool notify;
    std::string error;  // part of it; empty: accepted
  };
  const std::vector<QueryCase> cases = {
      {{}, false, ""},
      {{{"place", "fill"}, {"dots", "diffusion"}, {"lit", "bright"}}, false, ""},
      {{{"threshold", "200"}}, false, ""},
      {{{"dots", "threshold"}, {"threshold", "0"}}, false, ""},
      {{{"seconds", "5"}}, true, ""},
      {{{"seconds", "5"}}, false, "Nieznany parametr adresu: „seconds”"},
      {{{"plac", "fit"}}, false, "Nieznany parametr adresu: „plac”"},
      {{{"place", "middle"}}, false, "fit, fill, stretch, none"},
      {{{"dots", "random"}}, false, "threshold, diffusion, ordered"},
      {{{"lit", "both"}}, false, "dark, bright"},
      {{{"threshold", "256"}}, false, "od 0 do 255"},
      {{{"threshold", "12a"}}, false, "od 0 do 255"},
      {{{"dots", "ordered"}, {"threshold", "100"}}, false, "tylko z dots=threshold"},
      {{{"place", "fit"}, {"place", "fill"}}, false, "więcej niż raz"},
  };
  for (const QueryCase& c : cases) {
    const PictureQuery query = PictureOptionsFromQuery(c.params, c.notify);
    const std::string first = c.params.empty() ? "" : c.params.begin()->first;
    if (c.error.empty()) {
      EXPECT_EQ(query.error, "") << first;
    } else {
      EXPECT_NE(query.error.find(c.error), std::string::npos) << first << " -> " << query.error;
    }
  }
  const PictureQuery full = PictureOptionsFromQuery(
      {{"place", "stretch"}, {"dots", "threshold"}, {"threshold", "77"}, {"lit", "bright"}}, false);
  EXPECT_EQ(full.options.placement, picture::Placement::Stretch);
  EXPECT_EQ(full.options.dots, picture::DotsMethod::Threshold);
  EXPECT_EQ(full.options.level, 77);
  EXPECT_EQ(full.options.lit, picture::LitSide::Bright);
}

TEST(RequestParams, SecondsAndBodyKind) {
  EXPECT_EQ(NotifySeconds({{"seconds", "10"}}).length, std::chrono::milliseconds(10'000));
  EXPECT_EQ(NotifySeconds({{"seconds", "1.5"}}).length, std::chrono::milliseconds(1500));
  EXPECT_FALSE(NotifySeconds({}).length);
  EXPECT_EQ(NotifySeconds({}).error, "");
  for (const char* bad : {"0", "0.5", "1e-9", "-1", "86401", "nan", "inf", "10s", ""}) {
    EXPECT_NE(NotifySeconds({{"seconds", bad}}).error, "") << bad;
  }
}

// Who may talk to the service: its own names and page, and bodies no page
// of another site can send unasked.
TEST(SiteRules, HostOriginAndBodyType) {
  const SiteRules rules = MakeSiteRules("127.0.0.1", "Peron3.lan", {"Tablica.Example.org"}, {});
  const SiteRules anywhere =
      MakeSiteRules("0.0.0.0", "peron3", {}, ParseOrigin("https://Panel.pl"));
  using Maybe = std::optional<std::string_view>;
  struct Case {
    const SiteRules& rules;
    const char* method;
    Maybe host;
    Maybe origin;
    Maybe type;
    int status;
  };
  const Maybe none;
  for (const Case& c : std::vector<Case>{
           {rules, "GET", "127.0.0.1:8080", none, none, 0},
           {rules, "GET", "LOCALHOST", none, none, 0},
           {rules, "GET", "[::1]:8080", none, none, 0},
           {rules, "GET", "peron3:80", none, none, 0},
           {rules, "GET", "peron3.lan", none, none, 0},
           {rules, "GET", "tablica.example.org", none, none, 0},
           {rules, "GET", "evil.example:8080", none, none, 421},
           {rules, "GET", "192.168.1.5:8080", none, none, 421},
           {rules, "GET", "127.0.0.1:80x", none, none, 421},
           {rules, "GET", "127.0.0.1@evil", none, none, 421},
           {rules, "GET", "", none, none, 421},
           {rules, "GET", none, none, none, 400},
           {anywhere, "GET", "192.168.1.5:8080", none, none, 0},
           {anywhere, "GET", "[fe80::1]", none, none, 0},
           {anywhere, "GET", "evil.example", none, none, 421},
           {rules, "POST", "127.0.0.1:8080", "http://127.0.0.1:8080", "application/json", 0},
           {rules, "POST", "Tablica.example.org", "https://tablica.example.org", "image/png", 0},
           {rules, "POST", "127.0.0.1:8080", "http://127.0.0.1:9090", "application/json", 403},
           {rules, "POST", "127.0.0.1:8080", "http://127.0.0.2:8080", "application/json", 403},
           {rules, "POST", "127.0.0.1:8080", "null", "application/json", 403},
           {rules, "GET", "127.0.0.1:8080", "https://panel.pl", none, 403},
           {anywhere, "POST", "10.0.0.2", "https://panel.pl", "application/json", 0},
           {rules, "POST", "127.0.0.1", none, "Application/JSON; charset=utf-8", 0},
           {rules, "POST", "127.0.0.1", none, "application/ld+json", 0},
           {rules, "POST", "127.0.0.1", none, "image/gif", 0},
           {rules, "POST", "127.0.0.1", none, "application/octet-stream", 0},
           {rules, "POST", "127.0.0.1", none, "text/plain", 415},
           {rules, "POST", "127.0.0.1", none, "application/x-www-form-urlencoded", 415},
           {rules, "POST", "127.0.0.1", none, "multipart/form-data; boundary=x", 415},
           {rules, "POST", "127.0.0.1", none, "image/", 415},
           {rules, "POST", "127.0.0.1", none, none, 415},
           {rules, "DELETE", "127.0.0.1", none, none, 0},
       }) {
    const SiteVerdict verdict = CheckSite(c.rules, {c.method, c.host, c.origin, c.type});
    EXPECT_EQ(verdict.status, c.status) << c.method << " " << c.host.value_or("-") << " "
                                        << c.origin.value_or("-") << " " << c.type.value_or("-");
    EXPECT_EQ(verdict.message.empty(), c.status == 0) << verdict.message;
  }
  EXPECT_EQ(BodyKindOf("application/json"), BodyKind::Json);
  EXPECT_EQ(BodyKindOf("image/png"), BodyKind::Picture);
  for (const char* bad : {"ftp://x", "https://", "https://a b", "http://x/path"}) {
    EXPECT_FALSE(ParseOrigin(bad)) << bad;
  }
}

// Where a request ends: the front hands a worker nothing less than a whole
// request, and refuses what the library would misread.
TEST(RequestFraming, HeadsAndChunkedBodies) {
  struct HeadCase {
    const char* bytes;
    int status;  // -1: not whole yet
    std::uint64_t length;
    bool chunked;
  };
  for (const HeadCase& c : std::vector<HeadCase>{
           {"GET / HTTP/1.1\r\nHost: a\r\n", -1, 0, false},
           {"GET / HTTP/1.1\r\nHost: a\r\n\r\n", 0, 0, false},
           {"POST /x HTTP/1.0\nContent-Length: 12\n\n", 0, 12, false},
           {"POST /x HTTP/1.1\r\nTransfer-Encoding: Chunked\r\n\r\n", 0, 0, true},
           {"POST /x HTTP/1.1\r\nContent-Length: 2x\r\n\r\n", 400, 0, false},
           {"POST /x HTTP/1.1\r\nContent-Length: 1\r\nContent-length: 2\r\n\r\n", 400, 0, false},
           {"POST /x HTTP/1.1\r\nTransfer-Encoding: gzip\r\n\r\n", 501, 0, false},
           {"POST /x HTTP/1.1\r\nTransfer-Encoding: chunked\r\nContent-Length: 3\r\n\r\n", 400, 0,
            false},
           {"GET /x HTTP/2\r\n\r\n", 400, 0, false},
           {"GET /x HTTP/1.1\r\nA: b\r\n folded\r\n\r\n", 400, 0, false},
           {"GET /x HTTP/1.1\r\nBad Name: x\r\n\r\n", 400, 0, false},
       }) {
    const std::optional<RequestFrame> head = ReadHead(c.bytes);
    ASSERT_EQ(head.has_value(), c.status != -1) << c.bytes;
    if (!head) continue;
    EXPECT_EQ(head->status, c.status) << c.bytes;
    if (c.status != 0) continue;
    EXPECT_EQ(head->length.value_or(0), c.length) << c.bytes;
    EXPECT_EQ(head->chunked, c.chunked) << c.bytes;
  }

  // Read as it comes, a byte at a time: done exactly at its end.
  const std::string body = "5\r\nhello\r\n3;x=1\r\nabc\r\n0\r\nTrailer: t\r\n\r\n";
  ChunkedBody chunks(100);
  for (std::size_t size = 1; size < body.size(); ++size) {
    ASSERT_EQ(chunks.Read(std::string_view(body).substr(0, size)), ChunkedBody::State::More)
        << size;
  }
  EXPECT_EQ(chunks.Read(body + "GET / HTTP/1.1"), ChunkedBody::State::Done);
  EXPECT_EQ(chunks.End(), body.size());
  for (const auto& [bytes, state] : std::vector<std::pair<std::string, ChunkedBody::State>>{
           {"5\r\nhelloXX", ChunkedBody::State::Bad},
           {"zz\r\n", ChunkedBody::State::Bad},
           {"5\nhello\r\n", ChunkedBody::State::Bad},
           {"65\r\n", ChunkedBody::State::TooLong},
           {"40\r\n" + std::string(64, 'a') + "\r\n40\r\n", ChunkedBody::State::TooLong},
       }) {
    EXPECT_EQ(ChunkedBody(100).Read(bytes), state) << bytes;
  }

  const std::string asked = "POST / HTTP/1.1\r\nExpect: 100-continue\r\nHost: a\r\n\r\nbody";
  EXPECT_EQ(WithoutHeader(asked, *ReadHead(asked), "expect"),
            "POST / HTTP/1.1\r\nHost: a\r\n\r\nbody");
}

TEST(ServiceJson, StatusAndBoardShapes) {
  ServiceStatus status;
  status.port = 7;
  status.name = "hala";
  status.showing = "text";
  status.lastSend = LastSend{false, std::chrono::system_clock::time_point(std::chrono::hours(24)),
                             "Wystąpił błąd transmisji."};
  status.sends = 3;
  status.failedSends = 1;
  status.version = "1.0.0";
  const QJsonObject json =
      QJsonDocument::fromJson(QByteArray::fromStdString(StatusJson(status))).object();
  EXPECT_EQ(json["port"].toInt(), 7);
  EXPECT_EQ(json["showing"].toString(), "text");
  EXPECT_EQ(json["sends"].toInt(), 3);
  EXPECT_EQ(json["failed_sends"].toInt(), 1);
  const QJsonObject last = json["last_send"].toObject();
  EXPECT_FALSE(last["ok"].toBool(true));
  EXPECT_EQ(last["message"].toString().toStdString(), "Wystąpił błąd transmisji.");
  EXPECT_EQ(QDateTime::fromString(last["at"].toString(), Qt::ISODateWithMs).toMSecsSinceEpoch(),
            24 * 3600 * 1000LL);

  status.port.reset();
  status.lastSend.reset();
  const QJsonObject empty =
      QJsonDocument::fromJson(QByteArray::fromStdString(StatusJson(status))).object();
  EXPECT_TRUE(empty["port"].isNull());
  EXPECT_TRUE(empty["last_send"].isNull());

  BoardDots dots;
  dots.SetLit(0, 0);
  dots.SetLit(127, 31);
  dots.SetLit(5, 2);
  const QJsonObject board =
      QJsonDocument::fromJson(QByteArray::fromStdString(BoardJson(dots))).object();
  EXPECT_EQ(board["width"].toInt(), 128);
  EXPECT_EQ(board["height"].toInt(), 32);
  const QJsonArray rows = board["rows"].toArray();
  ASSERT_EQ(rows.size(), 32);
  for (int y = 0; y < 32; ++y) {
    const QString row = rows[y].toString();
    ASSERT_EQ(row.size(), 128);
    for (int x = 0; x < 128; ++x) ASSERT_EQ(row[x] == '1', dots.IsLit(x, y)) << x << "," << y;
  }
}

}  // namespace
}  // namespace tablica::service
