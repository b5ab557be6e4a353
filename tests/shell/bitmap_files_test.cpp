// The two file buttons (one dialog, one message) and the CAN group that
// holds the second one.

#include <QImage>

#include "window_fixture.h"

namespace tablica::window_testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

bool TopLeftDot(int x, int y) {
  return x == 0 && y == 0;
}
bool BottomRightDot(int x, int y) {
  return x == 127 && y == 31;
}
bool LeftHalf(int x, int /*y*/) {
  return x < 64;
}

std::string CannotOpenFile(const QString& path) {
  return "Nie mogę otworzyc pliku" + path.toStdString() + ".";
}

TEST_F(WindowTest, ChosenFileIsShownAndLoaded) {
  ShowWindow();
  const QString path = WriteOneBitPicture("obraz.bmp", TopLeftDot);
  chooser.answers.push_back(path);
  QTest::mouseClick(&Button("Button3"), Qt::LeftButton);

  ASSERT_EQ(chooser.requests.size(), 1u);
  const FileChoice& choice = chooser.requests[0];
  EXPECT_EQ(choice.title, QString::fromUtf8("Wybierz plik z bitmapą do wysłania."));
  EXPECT_EQ(choice.filter, "Bitmapa (*.bmp)");
  EXPECT_EQ(choice.defaultSuffix, "BMP");
  EXPECT_TRUE(choice.proposedFile.isEmpty());

  EXPECT_EQ(Find<QLineEdit>("Edit1").text(), path);
  EXPECT_THAT(shown, IsEmpty());
  ASSERT_NE(window->FirstBitmap(), nullptr);
  EXPECT_EQ(window->FirstBitmap()->Width(), 128);
  EXPECT_EQ(window->FirstBitmap()->Height(), 32);
  EXPECT_TRUE(window->SecondBitmap()->IsEmpty());
  EXPECT_EQ(Find<QLabel>("Image1").pixmap().size(), QSize(128, 32));
  EXPECT_TRUE(Find<QLabel>("Image2").pixmap().isNull());
}

TEST_F(WindowTest, EitherButtonProposesTheFileChosenLastByEither) {
  ShowWindow();
  const QString first = WriteOneBitPicture("pierwsza.bmp", TopLeftDot);
  const QString missing = QString::fromStdString((folder.path() / "brak.bmp").string());
  chooser.answers = {first, missing, std::nullopt};
  QTest::mouseClick(&Button("Button3"), Qt::LeftButton);
  QTest::mouseClick(&Find<QCheckBox>("CheckBox1"), Qt::LeftButton);
  QTest::mouseClick(&Button("Button4"), Qt::LeftButton);
  QTest::mouseClick(&Button("Button3"), Qt::LeftButton);
  ASSERT_EQ(chooser.requests.size(), 3u);
  EXPECT_EQ(chooser.requests[1].proposedFile, first);
  EXPECT_EQ(chooser.requests[2].proposedFile, missing);  // kept even though it failed to load
}

TEST_F(WindowTest, CancellingTheDialogChangesNothing) {
  ShowWindow();
  const QString path = WriteOneBitPicture("obraz.bmp", TopLeftDot);
  chooser.answers = {path, std::nullopt};
  QTest::mouseClick(&Button("Button3"), Qt::LeftButton);
  const QImage before = Find<QLabel>("Image1").pixmap().toImage();
  QTest::mouseClick(&Button("Button3"), Qt::LeftButton);
  EXPECT_EQ(chooser.requests.size(), 2u);
  EXPECT_EQ(Find<QLineEdit>("Edit1").text(), path);
  EXPECT_EQ(Find<QLabel>("Image1").pixmap().toImage(), before);
  EXPECT_EQ(window->FirstBitmap()->Width(), 128);
  EXPECT_THAT(shown, IsEmpty());
}

TEST_F(WindowTest, MissingFileShowsItsPathAndTheMessage) {
  ShowWindow();
  const QString path = QString::fromStdString((folder.path() / "nie ma.BMP").string());
  chooser.answers.push_back(path);
  QTest::mouseClick(&Button("Button3"), Qt::LeftButton);
  EXPECT_EQ(Find<QLineEdit>("Edit1").text(), path);
  EXPECT_THAT(shown, ElementsAre(CannotOpenFile(path)));
  EXPECT_TRUE(window->FirstBitmap()->IsEmpty());
}

TEST_F(WindowTest, FileThatIsNoBitmapKeepsThePreviousPicture) {
  ShowWindow();
  const QString good = WriteOneBitPicture("dobra.bmp", TopLeftDot);
  const std::filesystem::path text = folder.path() / "tekst.bmp";
  std::ofstream(text) << "To nie jest bitmapa.\n";
  const QString bad = QString::fromStdString(text.string());
  chooser.answers = {good, bad};
  QTest::mouseClick(&Button("Button3"), Qt::LeftButton);
  const QImage before = Find<QLabel>("Image1").pixmap().toImage();
  QTest::mouseClick(&Button("Button3"), Qt::LeftButton);

  EXPECT_EQ(Find<QLineEdit>("Edit1").text(), bad);
  EXPECT_THAT(shown, ElementsAre(CannotOpenFile(bad)));
  EXPECT_EQ(window->FirstBitmap()->Width(), 128);
  EXPECT_EQ(Find<QLabel>("Image1").pixmap().toImage(), before);
}

TEST_F(WindowTest, SecondButtonLoadsTheSecondBitmapOnly) {
  ShowWindow();
  QTest::mouseClick(&Find<QCheckBox>("CheckBox1"), Qt::LeftButton);
  const QString path = WriteOneBitPicture("druga.bmp", BottomRightDot);
  chooser.answers.push_back(path);
  QTest::mouseClick(&Button("Button4"), Qt::LeftButton);
  EXPECT_EQ(Find<QLineEdit>("Edit2").text(), path);
  EXPECT_TRUE(Find<QLineEdit>("Edit1").text().isEmpty());
  EXPECT_EQ(window->SecondBitmap()->Width(), 128);
  EXPECT_TRUE(window->FirstBitmap()->IsEmpty());
  EXPECT_EQ(Find<QLabel>("Image2").pixmap().size(), QSize(128, 32));
}

// The views draw the picture unscaled from their top-left corner: a board
// picture leaves the bottom row (and in the second view the right column)
// to the background, a larger one is cut off at the edges.
TEST_F(WindowTest, ViewsShowPicturesUnscaledFromTheTopLeft) {
  ShowWindow();
  QTest::mouseClick(&Find<QCheckBox>("CheckBox1"), Qt::LeftButton);
  chooser.answers = {WriteOneBitPicture("mala.bmp", LeftHalf),
                     WriteOneBitPicture("duza.bmp", LeftHalf, 200, 50)};
  QTest::mouseClick(&Button("Button3"), Qt::LeftButton);
  QTest::mouseClick(&Button("Button4"), Qt::LeftButton);

  const QImage first = Find<QLabel>("Image1").grab().toImage();
  ASSERT_EQ(first.size(), QSize(128, 33));
  EXPECT_EQ(first.pixelColor(0, 0), Qt::black);
  EXPECT_EQ(first.pixelColor(63, 31), Qt::black);
  EXPECT_EQ(first.pixelColor(64, 0), Qt::white);
  EXPECT_EQ(first.pixelColor(127, 31), Qt::white);
  const QColor background = first.pixelColor(127, 32);
  EXPECT_NE(background, Qt::white);
  EXPECT_NE(background, Qt::black);

  const QImage second = Find<QLabel>("Image2").grab().toImage();
  ASSERT_EQ(second.size(), QSize(129, 33));
  EXPECT_EQ(second.pixelColor(63, 32), Qt::black);   // the larger picture runs on
  EXPECT_EQ(second.pixelColor(128, 32), Qt::white);  // to the view's last dot
}

TEST_F(WindowTest, CanGroupFollowsTheCheckBoxAndKeepsTheSecondFile) {
  ShowWindow();
  QCheckBox& can = Find<QCheckBox>("CheckBox1");
  QGroupBox& group = Find<QGroupBox>("GroupBox3");
  QTest::mouseClick(&can, Qt::LeftButton);
  EXPECT_TRUE(can.isChecked());
  EXPECT_TRUE(group.isVisible());

  const QString path = WriteOneBitPicture("druga.bmp", BottomRightDot);
  chooser.answers.push_back(path);
  QTest::mouseClick(&Button("Button4"), Qt::LeftButton);

  QTest::mouseClick(&can, Qt::LeftButton);
  EXPECT_FALSE(can.isChecked());
  EXPECT_FALSE(group.isVisible());
  EXPECT_EQ(Find<QLineEdit>("Edit2").text(), path);
  EXPECT_EQ(window->SecondBitmap()->Width(), 128);

  QTest::mouseClick(&can, Qt::LeftButton);
  EXPECT_TRUE(group.isVisible());
  EXPECT_EQ(Find<QLineEdit>("Edit2").text(), path);
  EXPECT_FALSE(Find<QLabel>("Image2").pixmap().isNull());
}

}  // namespace
}  // namespace tablica::window_testing
