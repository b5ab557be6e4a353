// The "Pokaz" tab: a show built from the other tabs, timed, reordered,
// saved and opened again with the same pages (and read by the show
// library, as tablica-send --play reads it); the preview playing its first
// page; the show played to the board from a thread of its own while the
// window goes on answering, "Zatrzymaj" ending it with a whole frame last,
// a Send asked for meanwhile coming after it, and the link's messages in
// the status line rather than in a box.

#include <QAction>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListWidget>
#include <QSpinBox>
#include <QToolButton>
#include <functional>
#include <thread>

#include "obraz/show_tab.h"
#include "obraz_fixture.h"
#include "show/show_file.h"
#include "show/show_files.h"
#include "support/test_kit.h"

namespace tablica::obraz_testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

class ShowTabTest : public ObrazTest {
 public:
  ShowTab& Tab() { return Find<ShowTab>("showTab"); }
  void ShowShowTab() { Find<QTabWidget>("sourceTabs").setCurrentIndex(2); }
  void Trigger(const char* action) { Find<QAction>(action).trigger(); }
  QStringList PageLines() {
    QStringList lines;
    const QListWidget& pages = Find<QListWidget>("pages");
    for (int i = 0; i < pages.count(); ++i) lines << pages.item(i)->text();
    return lines;
  }
  void TypeLines(const char* first, const char* second) {
    Find<QLineEdit>("firstLine").setText(QString::fromUtf8(first));
    Find<QLineEdit>("secondLine").setText(QString::fromUtf8(second));
  }
  BoardDots TextDots(std::vector<std::string> lines,
                     picture::Alignment align = picture::Alignment::Centre) {
    picture::ConvertOptions options;
    options.text = std::move(lines);
    options.align = align;
    return picture::RenderText(options).dots;
  }
  // A show of one scrolling line, playing to COM 7 from the "Pokaz" tab;
  // `scriptLine` scripts the line once the port is open.
  void PlayScrollingLine(const std::function<void()>& scriptLine = {}) {
    WriteSettingsForPort(7);
    ShowWindow();
    if (scriptLine) scriptLine();
    TypeLines("Uwaga! Pociąg opóźniony.", "");
    ShowShowTab();
    Trigger("addScrollPage");
    QTest::mouseClick(&Button("sendButton"), Qt::LeftButton);
    ASSERT_TRUE(window->Playing());
  }
  // Every write was a whole frame: start, header, dots and a checksum the
  // test kit works out on its own.
  void ExpectWholeFrames() {
    for (const std::vector<std::uint8_t>& write : platform.writeRequests) {
      ASSERT_EQ(write.size(), testing::kFrameBytes);
      const testing::WireBytes dots(write.begin() + 4, write.end() - 1);
      EXPECT_EQ(write, testing::FrameBytes(dots));
    }
  }
};

TEST_F(ShowTabTest, ShowBuiltInTheTabIsSavedAndOpenedAgainWithTheSamePages) {
  ShowWindow();
  ShowShowTab();
  Trigger("addPicturePage");  // nothing opened yet: said, nothing added
  EXPECT_THAT(shown, ElementsAre("Najpierw otwórz obraz na karcie „Obraz”."));
  EXPECT_THAT(PageLines(), IsEmpty());

  const std::filesystem::path photo = DrawPicture("foto.png", QSize(400, 200), "PNG");
  OpenThroughDialog(photo);
  Pick("placement", picture::Placement::Fill);
  Find<QComboBox>("dotsMethod").setCurrentIndex(2);  // diffusion
  ShowTextTab();
  TypeLines("Peron 3: Kraków", "odjazd 12:45");
  Pick("align", picture::Alignment::Left);
  const std::filesystem::path flag = folder.path() / "flaga.gif";
  show::testing::WriteText(flag, show::testing::GifBytes(16, 8,
                                                         {show::testing::BarFrame(16, 8, 4, 10),
                                                          show::testing::BarFrame(16, 8, 12, 30)}));
  openChooser.answers.push_back(QString::fromStdString(flag.string()));

  ShowShowTab();
  for (const char* add : {"addTextPage", "addPicturePage", "addScrollPage", "addAnimationPage",
                          "addClockPage", "addTextPage"}) {
    Trigger(add);
  }
  // The preview plays the first page: the text, as the library draws it.
  EXPECT_EQ(PreviewDots(), TextDots({"Peron 3: Kraków", "odjazd 12:45"}, picture::Alignment::Left));

  QListWidget& pages = Find<QListWidget>("pages");
  QTest::mouseClick(&Find<QToolButton>("upButton"), Qt::LeftButton);  // the text goes up once
  pages.setCurrentRow(1);
  Find<QDoubleSpinBox>("seconds").setValue(2.5);  // the picture: 2.5 s
  pages.setCurrentRow(2);
  Find<QDoubleSpinBox>("speed").setValue(40);  // the scrolling line: 40 dots/s, twice
  Find<QSpinBox>("passes").setValue(2);
  pages.setCurrentRow(0);
  QTest::mouseClick(&Button("removeButton"), Qt::LeftButton);  // the first text goes
  pages.setCurrentRow(2);
  Activate();
  pages.setFocus();                                            // the remove button took it
  QTest::keyClick(&pages, Qt::Key_Down, Qt::ControlModifier);  // the animation after the text
  const QStringList built = PageLines();
  ASSERT_EQ(built.size(), 5);
  EXPECT_THAT(built[0].toStdString(), HasSubstr("1. Obraz: foto.png (2,5 s)"));
  EXPECT_THAT(built[1].toStdString(), HasSubstr("2. Przewijany napis: Peron 3: Kraków odjazd"));
  EXPECT_THAT(built[1].toStdString(), HasSubstr("40 punktów/s (2×)"));
  EXPECT_THAT(built[2].toStdString(), HasSubstr("3. Tekst: Peron 3: Kraków / odjazd 12:45 (5 s)"));
  EXPECT_THAT(built[3].toStdString(), HasSubstr("4. Animacja: flaga.gif (1×)"));
  EXPECT_THAT(built[4].toStdString(), HasSubstr("5. Zegar: {time:HH:mm} / {date:d MMMM} (10 s)"));
  const show::ShowModel model = Tab().Show();
  EXPECT_EQ(model.pages[0].first.options.placement, picture::Placement::Fill);
  EXPECT_EQ(model.pages[0].first.options.dots, picture::DotsMethod::Diffusion);
  EXPECT_EQ(model.pages[2].first.options.align, picture::Alignment::Left);

  // Saved in a folder of its own: the pictures named from there.
  std::filesystem::create_directories(folder.path() / "pokazy");
  const std::filesystem::path saved = folder.path() / "pokazy" / "peron.json";
  saveChooser.answers.push_back(QString::fromStdString(saved.string()));
  Trigger("saveShow");
  ASSERT_THAT(shown, ElementsAre("Najpierw otwórz obraz na karcie „Obraz”."));
  QFile file(QString::fromStdString(saved.string()));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QJsonArray written = QJsonDocument::fromJson(file.readAll()).object()["pages"].toArray();
  EXPECT_EQ(written[0].toObject()["picture"].toString(), "../foto.png");
  EXPECT_EQ(written[3].toObject()["animation"].toString(), "../flaga.gif");

  // The show library reads the file to the same show, and can play it.
  const show::ShowModelResult read = show::ReadShowFile(saved);
  ASSERT_TRUE(read.show) << show::Sentence(read.error);
  ASSERT_EQ(read.show->pages.size(), 5u);
  EXPECT_EQ(read.show->pages[0].first.picture.path.lexically_normal(), photo);
  EXPECT_TRUE(show::MakeTimeline(*read.show, QDateTime::currentDateTime()).timeline);

  // A new window opens it to the same pages; pages not saved are asked about.
  CloseWindow();
  ShowWindow();
  ShowTextTab();
  TypeLines("Brudnopis", "");
  ShowShowTab();
  Trigger("addTextPage");
  answer = false;
  openChooser.answers.push_back(QString::fromStdString(saved.string()));
  Trigger("openShow");
  EXPECT_EQ(asked.size(), 1u);
  EXPECT_EQ(PageLines().size(), 1);  // the user said no: the page stays
  answer = true;
  openChooser.answers.push_back(QString::fromStdString(saved.string()));
  Trigger("openShow");
  EXPECT_EQ(PageLines(), built);
  EXPECT_EQ(Tab().Show(), model);
  EXPECT_EQ(PreviewDots(), picture::ConvertPictureFile(photo, model.pages[0].first.options).dots);
  EXPECT_EQ(shown.size(), 1u);
}

TEST_F(ShowTabTest, ZonesEditedInTheTabAreOutlinedSavedAndOpenedAgainAlike) {
  ShowWindow();
  ShowTextTab();
  TypeLines("Linia 4", "");
  ShowShowTab();
  Trigger("addTextPage");
  const auto place = [&](int zone, QRect where) {
    Find<QListWidget>("zones").setCurrentRow(zone);
    Find<QSpinBox>("zoneX").setValue(where.x());
    Find<QSpinBox>("zoneY").setValue(where.y());
    Find<QSpinBox>("zoneW").setValue(where.width());
    Find<QSpinBox>("zoneH").setValue(where.height());
  };
  // The page becomes its first zone; each new one comes over it.
  Trigger("addClockZone");
  Trigger("addScrollZone");
  Find<QDoubleSpinBox>("speed").setValue(40);  // the scrolling zone's own speed
  Trigger("addTextZone");
  QTest::mouseClick(&Find<QToolButton>("removeZoneButton"), Qt::LeftButton);
  place(0, {0, 0, 88, 16});
  place(2, {0, 16, 128, 16});
  QTest::mouseClick(&Find<QToolButton>("zoneUpButton"),
                    Qt::LeftButton);  // the line under the clock
  place(2, {100, 0, 40, 16});         // the clock past the board's edge: said, not played
  EXPECT_THAT(Find<QLabel>("status").text().toStdString(),
              HasSubstr("Strona 1, strefa 3: Strefa wychodzi poza tablicę"));
  Find<QSpinBox>("zoneX").setValue(88);
  EXPECT_TRUE(Find<QLabel>("status").text().isEmpty())
      << Find<QLabel>("status").text().toStdString();
  EXPECT_THAT(Find<BoardPreview>("preview").Edges(),
              ElementsAre(QRect(0, 0, 88, 16), QRect(0, 16, 128, 16), QRect(88, 0, 40, 16)));
  const show::ShowModel model = Tab().Show();
  ASSERT_EQ(model.pages[0].first.kind, show::ContentKind::Zones);
  EXPECT_EQ(model.pages[0].first.zones[1].content.speed, 40);
  EXPECT_EQ(Find<QListWidget>("zones").item(2)->text().toStdString(),
            "3. 88,0 40×16 Zegar: {time:HH:mm}");

  SaveReadAndReopenShow("strefy.json", model);
  EXPECT_EQ(Find<QListWidget>("zones").count(), 3);
  EXPECT_THAT(Find<BoardPreview>("preview").Edges(), ::testing::SizeIs(3));
  EXPECT_THAT(shown, IsEmpty());
}

TEST_F(ShowTabTest, DaysHoursDatesAndTransitionOfAPageAreSavedAndOpenedAgain) {
  ShowWindow();
  ShowShowTab();
  Trigger("addClockPage");
  Trigger("addClockPage");
  Find<QListWidget>("pages").setCurrentRow(0);
  Find<QCheckBox>("day6").setChecked(false);
  Find<QCheckBox>("day7").setChecked(false);
  Enter("fromTime", "22:00");  // over midnight
  Enter("toTime", "06:30");
  Enter("dates", "2026-12-24, 2026-12-27..2027-01-06");
  QComboBox& transition = Find<QComboBox>("transition");
  transition.setFocus();
  QTest::keyClick(&transition, Qt::Key_End);
  QComboBox& everyPage = Find<QComboBox>("showTransition");
  everyPage.setFocus();
  QTest::keyClick(&everyPage, Qt::Key_Down);
  // What is no time or date is said, and the page keeps what it had.
  Enter("toTime", "25:00");
  Enter("dates", "2026-02-30");
  EXPECT_THAT(shown, ElementsAre(HasSubstr("Godzina „25:00” jest zła"),
                                 HasSubstr("Data „2026-02-30” jest zła")));
  EXPECT_EQ(Find<QLineEdit>("toTime").text(), "06:30");

  const show::ShowModel model = Tab().Show();
  using namespace std::chrono;
  const show::WhenRule rule{{1, 2, 3, 4, 5},
                            22 * 60,
                            6 * 60 + 30,
                            {{2026y / December / 24, 2026y / December / 24},
                             {2026y / December / 27, 2027y / January / 6}}};
  EXPECT_EQ(model.pages[0].when, rule);
  EXPECT_EQ(model.pages[0].transition, show::Transition::Wipe);
  EXPECT_EQ(model.transition, show::Transition::SlideLeft);
  EXPECT_FALSE(model.pages[1].when);

  SaveReadAndReopenShow("dni.json", model);
  EXPECT_FALSE(Find<QCheckBox>("day7").isChecked());
  EXPECT_EQ(Find<QLineEdit>("fromTime").text(), "22:00");
  EXPECT_EQ(Find<QLineEdit>("dates").text(), "2026-12-24, 2026-12-27..2027-01-06");
}

TEST_F(ShowTabTest, ShowPlaysFromAnotherThreadAndStopsAfterTheFrameInFlight) {
  gate.HoldWrite(3);
  PlayScrollingLine();
  EXPECT_FALSE(Find<QComboBox>("portList").isEnabled());  // the session is the play's
  ASSERT_TRUE(QTest::qWaitFor([&] { return gate.Held(); }, 5000));

  // The third frame is stuck on the line; the window goes on: its preview
  // moves on, and "Zatrzymaj" is taken at once.
  const BoardDots before = PreviewDots();
  ASSERT_TRUE(QTest::qWaitFor([&] { return PreviewDots() != before; }, 2000));
  QTest::mouseClick(&Button("stopButton"), Qt::LeftButton);
  EXPECT_THAT(Find<QLabel>("boardStatus").text().toStdString(), HasSubstr("kończy się po klatce"));
  EXPECT_TRUE(window->Playing());  // until the frame in flight is written

  gate.Release();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Playing(); }, 5000));
  QTest::qWait(300);  // and nothing after it
  EXPECT_EQ(platform.writeRequests.size(), 3u);
  ExpectWholeFrames();
  for (const std::thread::id writer : gate.Writers()) {
    EXPECT_NE(writer, std::this_thread::get_id());
  }
  EXPECT_THAT(Find<QLabel>("boardStatus").text().toStdString(), HasSubstr("Pokaz zatrzymany."));
  EXPECT_TRUE(Find<QComboBox>("portList").isEnabled());
  EXPECT_THAT(shown, IsEmpty());
}

TEST_F(ShowTabTest, SendWhileAShowPlaysComesAfterTheFrameInFlight) {
  gate.HoldWrite(2);
  PlayScrollingLine();
  ASSERT_TRUE(QTest::qWaitFor([&] { return gate.Held(); }, 5000));
  ShowTextTab();
  TypeLines("Peron 3", "");
  QTest::mouseClick(&Button("sendButton"), Qt::LeftButton);
  EXPECT_EQ(platform.writeRequests.size(), 1u);  // the text waits for the play

  gate.Release();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Playing(); }, 5000));
  ASSERT_EQ(platform.writeRequests.size(), 3u);
  ExpectWholeFrames();
  EXPECT_EQ(platform.writeRequests.back(),
            testing::FrameBytes(testing::DotBytes(TextDots({"Peron 3"}))));
  EXPECT_EQ(gate.Writers().back(), std::this_thread::get_id());  // the window's own Send
}

TEST_F(ShowTabTest, LinksMessagesDuringAPlayGoToTheStatusLineNotToABox) {
  PlayScrollingLine([&] {
    platform.QueueFailedWrite(WriteFailure::Other);
    platform.lineScript.push_back(LineState{.errorMask = 1});
  });
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return Find<QLabel>("boardStatus").text().contains(QString::fromUtf8("błąd transmisji"));
      },
      5000));
  const QString status = Find<QLabel>("boardStatus").text();
  EXPECT_TRUE(status.contains(QRegularExpression(
      QString::fromUtf8("\\n\\d\\d:\\d\\d:\\d\\d Wystąpił błąd transmisji\\.$"))))
      << status.toStdString();
  EXPECT_THAT(shown, IsEmpty());  // no box: the play never waits on the user
  QTest::mouseClick(&Button("stopButton"), Qt::LeftButton);  // during the pause after it
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Playing(); }, 5000));
}

}  // namespace
}  // namespace tablica::obraz_testing
