// "Zapisz bitmapę…" against tablica-convert, "Wyślij na tablicę" against
// the scripted serial platform, and the port list the window shares with
// the main window.

#include <QProcess>

#include "board/bitmap.h"
#include "obraz_fixture.h"
#include "support/test_kit.h"

namespace tablica::obraz_testing {
namespace {

using picture::Alignment;
using picture::LitSide;
using picture::Placement;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::uint8_t> ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What tablica-convert writes for `arguments` (its output file comes last).
std::vector<std::uint8_t> Converted(QStringList arguments, const std::filesystem::path& out) {
  arguments << QString::fromStdString(out.string());
  QProcess convert;
  convert.start(QStringLiteral(TABLICA_CONVERT), arguments);
  EXPECT_TRUE(convert.waitForFinished(30000));
  EXPECT_EQ(convert.exitCode(), 0) << convert.readAllStandardError().toStdString();
  return ReadAll(out);
}

struct SaveCase {
  const char* what;
  bool text;
  std::function<void(ObrazTest&)> make;  // the choices, made in the window
  QStringList arguments;                 // the same choices for tablica-convert
};

TEST_F(ObrazTest, SavedBitmapIsByteForByteWhatTablicaConvertWrites) {
  const SaveCase cases[] = {
      {"defaults", false, [](ObrazTest&) {}, {}},
      {"fill, ordered, bright",
       false,
       [](ObrazTest& t) {
         t.Pick("placement", Placement::Fill);
         t.Find<QComboBox>("dotsMethod").setCurrentIndex(3);
         t.Pick("lit", LitSide::Bright);
       },
       {"--place", "fill", "--dots", "ordered", "--lit", "bright"}},
      {"threshold 90, stretch",
       false,
       [](ObrazTest& t) {
         t.Find<QComboBox>("dotsMethod").setCurrentIndex(1);
         t.Find<QSlider>("level").setValue(90);
         t.Pick("placement", Placement::Stretch);
       },
       {"--dots", "threshold=90", "--place", "stretch"}},
      {"two lines, right",
       true,
       [](ObrazTest& t) {
         t.ShowTextTab();
         t.Find<QLineEdit>("firstLine").setText(QString::fromUtf8("Odjazd 12:45"));
         t.Find<QLineEdit>("secondLine").setText(QString::fromUtf8("Łódź Kaliska"));
         t.Pick("align", Alignment::Right);
       },
       {"--text", QString::fromUtf8("Odjazd 12:45"), "--text", QString::fromUtf8("Łódź Kaliska"),
        "--align", "right"}},
  };
  const std::filesystem::path photo = DrawPicture("foto.jpg", QSize(1600, 1200), "JPEG");
  int n = 0;
  for (const SaveCase& c : cases) {
    SCOPED_TRACE(c.what);
    ShowWindow();
    if (!c.text) OpenThroughDialog(photo);
    c.make(*this);
    const std::filesystem::path saved = folder.path() / ("okno-" + std::to_string(n) + ".bmp");
    saveChooser.answers.push_back(QString::fromStdString(saved.string()));
    QTest::mouseClick(&Button("saveButton"), Qt::LeftButton);
    QStringList arguments = c.arguments;
    if (!c.text) arguments << QString::fromStdString(photo.string());
    const std::vector<std::uint8_t> expected =
        Converted(arguments, folder.path() / ("convert-" + std::to_string(n++) + ".bmp"));
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(ReadAll(saved), expected);
    EXPECT_THAT(shown, IsEmpty());
  }
}

TEST_F(ObrazTest, SendPutsTheFrameOfTheSavedBitmapOnTheWire) {
  WriteSettingsForPort(7);
  ShowWindow();
  EXPECT_EQ(Find<QComboBox>("portList").currentText(), "COM 7");
  OpenThroughDialog(DrawPicture("klein.png", QSize(300, 200), "PNG"));
  Find<QComboBox>("dotsMethod").setCurrentIndex(2);
  const std::filesystem::path saved = folder.path() / "zapisana.bmp";
  saveChooser.answers.push_back(QString::fromStdString(saved.string()));
  QTest::mouseClick(&Button("saveButton"), Qt::LeftButton);
  QTest::mouseClick(&Button("sendButton"), Qt::LeftButton);

  // The frame a board must get for the saved file (from the test kit).
  const BitmapLoadResult bitmap = LoadBitmapFile(saved);
  ASSERT_TRUE(bitmap.Ok()) << bitmap.error;
  ASSERT_EQ(bitmap.bitmap.Width(), 128);
  ASSERT_EQ(bitmap.bitmap.Height(), 32);
  EXPECT_THAT(platform.writeRequests,
              ElementsAre(testing::FrameBytes(testing::DotBytes(bitmap.bitmap))));
  EXPECT_THAT(shown, IsEmpty());
}

TEST_F(ObrazTest, SendWithoutAPortSaysSoAndWritesNothing) {
  ShowWindow();
  EXPECT_EQ(Find<QComboBox>("portList").currentText(), "Brak");
  QTest::mouseClick(&Button("sendButton"), Qt::LeftButton);
  EXPECT_THAT(shown, ElementsAre("Nie wybrano portu komunikacyjnego."));
  EXPECT_EQ(platform.CountCalls("write"), 0);
}

TEST_F(ObrazTest, PortListIsTheMainWindowsAndFollowsItsRules) {
  WriteSettingsForPort(3);
  platform.failingOpens.insert("COM5");
  ShowWindow();
  QComboBox& list = Find<QComboBox>("portList");
  ASSERT_EQ(list.count(), 65);
  EXPECT_EQ(list.itemText(0), "COM 1");
  EXPECT_EQ(list.itemText(64), "Brak");
  list.setCurrentIndex(4);
  emit list.activated(4);  // COM 5 fails: back on COM 3, opened anew
  EXPECT_THAT(shown, ElementsAre(messages::CannotOpenPort(5)));
  EXPECT_EQ(list.currentText(), "COM 3");
  EXPECT_EQ(platform.CountCalls("open COM3"), 2);
  EXPECT_EQ(platform.openPorts, 1);
}

}  // namespace
}  // namespace tablica::obraz_testing
