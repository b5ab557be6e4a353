// The preview against the picture library: every choice in the window gives
// the dots the library gives for the same choices, typed text follows each
// keystroke, and a refused source keeps the last good preview. (That the
// screen shows these dots is checked end to end, tests/e2e/obraz_e2e.py.)

#include <functional>

#include "obraz_fixture.h"

namespace tablica::obraz_testing {
namespace {

using picture::Alignment;
using picture::ConvertOptions;
using picture::DotsMethod;
using picture::LitSide;
using picture::Placement;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// One choice made in the window, and the same choice as library options.
struct Choice {
  const char* what;
  std::function<void(ObrazTest&)> make;
  std::function<void(ConvertOptions&)> means;
};

void Level(ObrazTest& t, int value) {
  t.Find<QComboBox>("dotsMethod").setCurrentIndex(1);  // "próg na poziomie"
  t.Find<QSlider>("level").setValue(value);
}

const Choice kPictureChoices[] = {
    {"level 60", [](ObrazTest& t) { Level(t, 60); }, [](ConvertOptions& o) { o.level = 60; }},
    {"level 200", [](ObrazTest& t) { Level(t, 200); }, [](ConvertOptions& o) { o.level = 200; }},
    {"diffusion", [](ObrazTest& t) { t.Find<QComboBox>("dotsMethod").setCurrentIndex(2); },
     [](ConvertOptions& o) {
       o.dots = DotsMethod::Diffusion;
       o.level.reset();
     }},
    {"ordered", [](ObrazTest& t) { t.Find<QComboBox>("dotsMethod").setCurrentIndex(3); },
     [](ConvertOptions& o) { o.dots = DotsMethod::Ordered; }},
    {"fill", [](ObrazTest& t) { t.Pick("placement", Placement::Fill); },
     [](ConvertOptions& o) { o.placement = Placement::Fill; }},
    {"stretch", [](ObrazTest& t) { t.Pick("placement", Placement::Stretch); },
     [](ConvertOptions& o) { o.placement = Placement::Stretch; }},
    {"none", [](ObrazTest& t) { t.Pick("placement", Placement::None); },
     [](ConvertOptions& o) { o.placement = Placement::None; }},
    {"bright", [](ObrazTest& t) { t.Pick("lit", LitSide::Bright); },
     [](ConvertOptions& o) { o.lit = LitSide::Bright; }},
};

// Each choice is made on top of the previous ones, so the window's options
// build up as the library's do; each must change the dots.
void CheckChoicesOn(ObrazTest& t, const std::filesystem::path& picture) {
  t.OpenThroughDialog(picture);
  ConvertOptions options;
  BoardDots before = picture::ConvertPictureFile(picture, options).dots;
  ASSERT_EQ(t.PreviewDots(), before);
  ASSERT_GT(before.LitCount(), 0);
  for (const Choice& choice : kPictureChoices) {
    SCOPED_TRACE(choice.what);
    choice.make(t);
    choice.means(options);
    const picture::DotsResult expected = picture::ConvertPictureFile(picture, options);
    ASSERT_TRUE(expected.Ok()) << expected.error;
    EXPECT_EQ(t.PreviewDots(), expected.dots);
    EXPECT_NE(expected.dots, before);
    before = expected.dots;
  }
  EXPECT_THAT(t.shown, IsEmpty());
}

TEST_F(ObrazTest, EveryChoiceGivesTheLibrarysDotsForASmallPicture) {
  ShowWindow();
  CheckChoicesOn(*this, DrawPicture("klein.png", QSize(300, 200), "PNG"));
}

TEST_F(ObrazTest, EveryChoiceGivesTheLibrarysDotsForALargePhoto) {
  // Large JPEG files are decoded at the board's size; the window must get
  // the same picture tablica-convert gets.
  ShowWindow();
  CheckChoicesOn(*this, DrawPicture("foto.jpg", QSize(1600, 1200), "JPEG"));
}

// --- text ---

TEST_F(ObrazTest, TypedTextAndItsChoicesGiveTheLibrarysText) {
  ShowWindow();
  ShowTextTab();
  ConvertOptions options;
  const auto expectText = [&](const char* step) {
    SCOPED_TRACE(step);
    const picture::DotsResult expected = picture::RenderText(options);
    ASSERT_TRUE(expected.Ok()) << expected.error;
    EXPECT_EQ(PreviewDots(), expected.dots);
  };
  Type("firstLine", "Zażółć");
  options.text = {"Zażółć"};
  expectText("first line");
  Type("secondLine", "gęślą");
  options.text = {"Zażółć", "gęślą"};
  expectText("second line");
  Pick("align", Alignment::Right);
  options.align = Alignment::Right;
  expectText("right");
  Find<QSpinBox>("size").setValue(16);
  options.size = 16;
  expectText("size 16");
  QTest::keyClick(&Find<QLineEdit>("firstLine"), Qt::Key_Backspace);
  options.text = {"Zażół", "gęślą"};
  expectText("a letter less");
}

TEST_F(ObrazTest, TextThatDoesNotFitIsRefusedAndNothingGoesOut) {
  WriteSettingsForPort(7);
  ShowWindow();
  ShowTextTab();
  Type("firstLine", "Tablica");
  const BoardDots fitting = PreviewDots();
  Find<QLineEdit>("firstLine").setText(QStringLiteral("Tablica informacyjna na dworcu"));
  ConvertOptions options;
  options.text = {"Tablica informacyjna na dworcu"};
  const picture::DotsResult refused = picture::RenderText(options);
  ASSERT_FALSE(refused.Ok());
  EXPECT_EQ(Find<QLabel>("status").text().toStdString(), refused.error);
  EXPECT_EQ(PreviewDots(), fitting);  // the last good preview stays
  EXPECT_FALSE(window->CurrentDots());

  QTest::mouseClick(&Button("sendButton"), Qt::LeftButton);
  QTest::mouseClick(&Button("saveButton"), Qt::LeftButton);
  EXPECT_THAT(shown, ElementsAre(refused.error, refused.error));
  EXPECT_EQ(platform.CountCalls("write"), 0);
  EXPECT_THAT(saveChooser.requests, IsEmpty());
}

// --- pictures that cannot be read ---

TEST_F(ObrazTest, UnreadablePictureIsReportedAndThePreviousOneStays) {
  ShowWindow();
  const std::filesystem::path good = DrawPicture("klein.png", QSize(300, 200), "PNG");
  OpenThroughDialog(good);
  const BoardDots before = PreviewDots();
  const QString nameBefore = Find<QLabel>("pictureName").text();

  const std::filesystem::path notAPicture = folder.path() / "lista.png";
  std::ofstream(notAPicture) << "to nie jest obraz\n";
  const std::filesystem::path missing = folder.path() / "nie-ma.jpg";
  for (const std::filesystem::path& bad : {notAPicture, missing}) {
    SCOPED_TRACE(bad.string());
    shown.clear();
    OpenThroughDialog(bad);
    EXPECT_THAT(shown, ElementsAre(picture::LoadPicture(bad).error));
    EXPECT_EQ(PreviewDots(), before);
    EXPECT_EQ(Find<QLabel>("pictureName").text(), nameBefore);
    // The kept picture still follows the choices.
    Pick("lit", LitSide::Bright);
    ConvertOptions bright;
    bright.lit = LitSide::Bright;
    EXPECT_EQ(PreviewDots(), picture::ConvertPictureFile(good, bright).dots);
    Pick("lit", LitSide::Dark);
  }
}

}  // namespace
}  // namespace tablica::obraz_testing
