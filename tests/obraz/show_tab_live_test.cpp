// The "Pokaz" tab's live contents: departures whose stop is found by its
// name in a timetable file and whose rows and live feed are given in the
// fields, and a data line; saved, read back by the show library and opened
// again alike.

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include "../live/feed_kit.h"
#include "obraz/show_tab.h"
#include "obraz_fixture.h"
#include "show/show_file.h"

namespace tablica::obraz_testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

TEST_F(ObrazTest, DeparturesAndADataLineAreSetUpSavedAndOpenedAgain) {
  const std::filesystem::path feed = folder.path() / "rozklad.zip";
  testing_support::WriteFeed(feed, testing_support::kSmallFeed);
  ShowWindow();
  Find<QTabWidget>("sourceTabs").setCurrentIndex(2);

  Find<QAction>("addDeparturesPage").trigger();
  EXPECT_THAT(Find<QLabel>("status").text().toStdString(), HasSubstr("departures"));
  Enter("stopSearch", "peron");  // no timetable yet: said beside the list
  EXPECT_THAT(Find<QLabel>("stopsNote").text().toStdString(), HasSubstr("plik rozkładu"));
  openChooser.answers.push_back(QString::fromStdString(feed.string()));
  QTest::mouseClick(&Find<QToolButton>("liveFeedButton"), Qt::LeftButton);
  Enter("stopSearch", "PERON");
  QListWidget& found = Find<QListWidget>("stopsFound");
  ASSERT_EQ(found.count(), 2);
  EXPECT_EQ(found.item(1)->text().toStdString(), "Peron 2 – S2");
  emit found.itemActivated(found.item(1));
  Find<QSpinBox>("liveRows").setValue(3);
  Enter("liveRealtime", "https://mpk.example/tripupdates.pb");

  Find<QAction>("addDataPage").trigger();
  Enter("liveUrl", "https://pogoda.example/teraz.json");
  Enter("livePointer", "/current/temperature_2m");
  Enter("liveText", "Temperatura {value} °C");

  const show::ShowModel model = Find<ShowTab>("showTab").Show();
  ASSERT_EQ(model.pages.size(), 2u);
  const show::LiveModel& departures = model.pages[0].first.live;
  EXPECT_EQ(departures.feed, feed.string());
  EXPECT_THAT(departures.stops, ElementsAre("S2"));
  EXPECT_EQ(departures.rows, 3);
  EXPECT_EQ(model.pages[1].first.live.text, "Temperatura {value} °C");

  SaveReadAndReopenShow("odjazdy.json", model);
  EXPECT_EQ(Find<QLineEdit>("liveStops").text(), "S2");
  EXPECT_THAT(shown, IsEmpty());
}

}  // namespace
}  // namespace tablica::obraz_testing
