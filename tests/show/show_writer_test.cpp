// The show written back as its file: every field of a show read from a
// file comes back the same when the written file is read again, from the
// show's own folder and from another one (pictures named relative to the
// file), and a picture carried in the show stays in it.

#include <gtest/gtest.h>

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <string>

#include "show/show_file.h"
#include "show/show_timeline.h"
#include "show/show_writer.h"
#include "show_files.h"
#include "temp_folder.h"

namespace tablica::show {
namespace {

namespace fs = std::filesystem;

// Paths as the reader makes them may spell the same file differently
// ("a/../b"): compared as the files they name.
ShowModel Normalised(ShowModel show) {
  for (PageModel& page : show.pages) {
    for (ContentModel* content : {&page.first, page.second ? &*page.second : nullptr}) {
      if (content && !content->picture.Inline()) {
        content->picture.path = content->picture.path.lexically_normal();
      }
    }
  }
  return show;
}

ShowModel Read(const QByteArray& json, const fs::path& folder) {
  const ShowModelResult read = ParseShow(json, folder, ShowOrigin::File);
  EXPECT_TRUE(read.show) << Sentence(read.error) << "\n" << json.toStdString();
  return read.show ? Normalised(*read.show) : ShowModel{};
}

class ShowWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(shows_);
    fs::create_directories(pictures_);
    QImage logo(64, 32, QImage::Format_RGB32);
    logo.fill(Qt::white);
    testing::WriteText(pictures_ / "logo.png", testing::PngBytes(logo));
    testing::WriteText(
        pictures_ / "flaga.gif",
        testing::GifBytes(16, 8,
                          {testing::BarFrame(16, 8, 4, 10), testing::BarFrame(16, 8, 12, 20)}));
    fs::copy_file("/usr/share/fonts/opentype/unifont/unifont.otf", pictures_ / "czcionka.otf");
  }

  testing_support::TempFolder folder_;
  fs::path pictures_ = folder_.path() / "obrazy";
  fs::path shows_ = folder_.path() / "pokazy";
};

TEST_F(ShowWriterTest, EveryFieldComesBackFromTheWrittenFile) {
  QImage carried(8, 8, QImage::Format_RGB32);
  carried.fill(Qt::black);
  const std::string inlinePng =
      "data:image/png;base64," +
      QByteArray::fromStdString(testing::PngBytes(carried)).toBase64().toStdString();
  const std::string json = R"({
    "repeat": 3, "blank": ["22:00-06:00", "12:00-24:00"], "refresh": 60.25,
    "transition": "wipe", "otherwise": {"text": ["Nieczynne"], "transition": "none"},
    "pages": [
      {"text": "Peron 3: Kraków", "font": "Unifont", "size": 16, "align": "left", "seconds": 2.5,
       "when": {"days": [5, 1], "from": "22:00", "to": "02:00",
                "dates": ["2026-12-24", "2026-12-27..2027-01-06"]}, "transition": "slide-up"},
      {"text": ["{time:HH:mm}", "{date:d MMMM}"], "seconds": 0.001},
      {"picture": "../obrazy/logo.png", "place": "fill", "dots": "threshold", "threshold": 90,
       "lit": "bright", "seconds": 5},
      {"picture": ")" + inlinePng +
                           R"(", "dots": "diffusion", "seconds": 1},
      {"scroll": "Uwaga! Pociąg opóźniony.", "speed": 40.5, "times": 2, "size": 32},
      {"scroll": "Zegar {time:HH:mm:ss}", "seconds": 7, "when": {"to": "24:00"}},
      {"animation": ")" + (pictures_ / "flaga.gif").string() +
                           R"(", "place": "stretch",
       "dots": "ordered", "times": 3},
      {"text": ["T1"], "align": "right", "second": {"scroll": "T2", "speed": 8}, "seconds": 4},
      {"animation": "../obrazy/flaga.gif", "second": {"picture": "../obrazy/logo.png",
       "lit": "bright"}},
      {"text": ["Z pliku"], "font": "../obrazy/czcionka.otf", "seconds": 1},
      {"zones": [{"x": 0, "y": 0, "w": 88, "h": 16, "text": ["A"], "align": "left"},
                 {"x": 88, "y": 0, "w": 40, "h": 16, "text": ["{time:mm:ss}"]}],
       "second": {"zones": [{"x": 0, "y": 8, "w": 128, "h": 24, "scroll": "B", "times": 2}]}},
      {"departures": {"feed": "../rozklady/miasto.zip", "realtime": "https://example.org/tu.pb",
       "alerts": "alerty.pb", "stops": ["S1", "S2"], "routes": "4", "rows": 3, "every": 20,
       "none": "Nic nie jedzie"}, "size": 8, "speed": 24, "seconds": 10},
      {"zones": [{"x": 0, "y": 0, "w": 128, "h": 16, "align": "left",
                  "data": {"url": "http://127.0.0.1:9/t.json", "pointer": "/t", "text": "{value} °C"}},
                 {"x": 0, "y": 16, "w": 128, "h": 16, "speed": 30,
                  "rss": {"url": "https://example.org/rss", "items": 3, "every": 900}}],
       "seconds": 3}
    ]})";
  const ShowModel original = Read(QByteArray::fromStdString(json), shows_);
  ASSERT_EQ(original.pages.size(), 13u);

  // Written for its own folder, for another, and for the pictures' own.
  for (const fs::path& folder : {shows_, folder_.path() / "inne" / "glebiej", pictures_}) {
    SCOPED_TRACE(folder.string());
    const QByteArray written = ShowJson(original, folder);
    EXPECT_EQ(Read(written, folder), original);
    // Written again, the file is the same: nothing drifts on a round trip.
    EXPECT_EQ(ShowJson(Read(written, folder), folder), written);
  }

  // Named relative to the file, and the carried picture carried still.
  const QJsonObject file = QJsonDocument::fromJson(ShowJson(original, shows_)).object();
  const QJsonArray pages = file["pages"].toArray();
  EXPECT_EQ(pages[2].toObject()["picture"].toString(), "../obrazy/logo.png");
  EXPECT_EQ(pages[6].toObject()["animation"].toString(), "../obrazy/flaga.gif");
  EXPECT_EQ(pages[9].toObject()["font"].toString(), "../obrazy/czcionka.otf");
  EXPECT_EQ(pages[3].toObject()["picture"].toString().toStdString(), inlinePng);
  EXPECT_EQ(pages[11].toObject()["departures"].toObject()["feed"].toString(),
            "../rozklady/miasto.zip");
  // Defaults are left out, as a person writes the file.
  EXPECT_EQ(pages[1].toObject().keys(), (QStringList{"seconds", "text"}));
  EXPECT_EQ(file["blank"].toArray().at(1).toString(), "12:00-24:00");

  // And the written show plays from any working folder: every picture and
  // font file read from the show's folder, every text drawn.
  const TimelineResult played =
      MakeTimeline(Read(ShowJson(original, pictures_), pictures_), QDateTime::currentDateTime());
  EXPECT_TRUE(played.timeline) << Sentence(played.error);
}

TEST_F(ShowWriterTest, PathsAreNamedFromTheShowsFolder) {
  const struct {
    fs::path path;
    fs::path folder;
    std::string named;
  } cases[] = {
      {"/srv/pokaz/logo.png", "/srv/pokaz", "logo.png"},
      {"/srv/pokaz/obrazy/logo.png", "/srv/pokaz/", "obrazy/logo.png"},
      {"/srv/obrazy/logo.png", "/srv/pokaz", "../obrazy/logo.png"},
      {"/srv/pokaz/../obrazy/./logo.png", "/srv/pokaz", "../obrazy/logo.png"},
      {"/logo.png", "/srv/pokaz", "../../logo.png"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PathFromFolder(c.path, c.folder), c.named) << c.path << " from " << c.folder;
  }
}

}  // namespace
}  // namespace tablica::show
