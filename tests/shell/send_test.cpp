// "&Wyślij" through the window down to the bytes on the wire, and the
// window's guards: commands after closing, exceptions inside a command.

#include <array>
#include <new>
#include <stdexcept>

#include "window_fixture.h"

namespace tablica::window_testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The frame a board expects (from the test kit): one dot lit where the
// picture is black, header 2 when a second board follows.
std::vector<std::uint8_t> DotsWithOneLit(int darkX, int darkY) {
  return testing::DotBytesWhere([&](int x, int y) { return x == darkX && y == darkY; });
}

std::vector<std::uint8_t> ExpectedFrame(bool secondBoard, int darkX, int darkY) {
  return testing::FrameBytes(DotsWithOneLit(darkX, darkY),
                             secondBoard ? testing::kHeaderWithBlock : testing::kHeaderAlone);
}

std::vector<std::uint8_t> SecondBlock(int darkX, int darkY) {
  return testing::BlockBytes(DotsWithOneLit(darkX, darkY));
}

class SendTest : public WindowTest {
 protected:
  void ShowWithPortAndPicture() {
    WriteSettingsForPort(7);
    ShowActiveWindow();
    chooser.answers.push_back(
        WriteOneBitPicture("pierwsza.bmp", [](int x, int y) { return x == 0 && y == 0; }));
    QTest::mouseClick(&Button("Button3"), Qt::LeftButton);
  }
};

TEST_F(SendTest, OneBoardGetsOneFrame) {
  ShowWithPortAndPicture();
  QTest::mouseClick(&Button("Button1"), Qt::LeftButton);
  EXPECT_THAT(platform.writeRequests, ElementsAre(ExpectedFrame(false, 0, 0)));
  EXPECT_EQ(platform.wire, ExpectedFrame(false, 0, 0));
  EXPECT_THAT(shown, IsEmpty());
}

TEST_F(SendTest, SecondBoardGetsItsOwnPictureBehindTheFrame) {
  ShowWithPortAndPicture();
  QTest::mouseClick(&Find<QCheckBox>("CheckBox1"), Qt::LeftButton);
  chooser.answers.push_back(
      WriteOneBitPicture("druga.bmp", [](int x, int y) { return x == 127 && y == 31; }));
  QTest::mouseClick(&Button("Button4"), Qt::LeftButton);
  QTest::mouseClick(&Button("Button1"), Qt::LeftButton);

  const std::vector<std::uint8_t> second = SecondBlock(127, 31);
  ASSERT_EQ(second.back(), 0x02);
  EXPECT_THAT(platform.writeRequests, ElementsAre(ExpectedFrame(true, 0, 0), second));
  EXPECT_THAT(shown, IsEmpty());
}

TEST_F(SendTest, WithoutASecondFileTheFirstPictureGoesToBothBoards) {
  ShowWithPortAndPicture();
  QTest::mouseClick(&Find<QCheckBox>("CheckBox1"), Qt::LeftButton);
  QTest::mouseClick(&Button("Button1"), Qt::LeftButton);
  const std::vector<std::uint8_t> frameBytes = ExpectedFrame(true, 0, 0);
  EXPECT_THAT(platform.writeRequests, ElementsAre(frameBytes, SecondBlock(0, 0)));
}

TEST_F(SendTest, UntickedBoxSendsOneFrameAlthoughASecondFileIsChosen) {
  ShowWithPortAndPicture();
  QCheckBox& can = Find<QCheckBox>("CheckBox1");
  QTest::mouseClick(&can, Qt::LeftButton);
  chooser.answers.push_back(
      WriteOneBitPicture("druga.bmp", [](int x, int y) { return x == 127 && y == 31; }));
  QTest::mouseClick(&Button("Button4"), Qt::LeftButton);
  QTest::mouseClick(&can, Qt::LeftButton);
  QTest::mouseClick(&Button("Button1"), Qt::LeftButton);
  EXPECT_THAT(platform.writeRequests, ElementsAre(ExpectedFrame(false, 0, 0)));
}

TEST_F(SendTest, CommandsArrivingAfterCloseAreIgnored) {
  ShowWithPortAndPicture();
  window->close();
  ASSERT_EQ(window->FirstBitmap(), nullptr);
  Button("Button1").click();
  Button("Button3").click();
  emit PortList().activated(64);
  EXPECT_EQ(platform.CountCalls("write"), 0);
  EXPECT_EQ(chooser.requests.size(), 1u);  // only the one before closing
  EXPECT_EQ(settings.portNumber, 7);
  EXPECT_THAT(shown, IsEmpty());
}

TEST_F(SendTest, ExceptionInACommandIsReportedAndTheWindowGoesOn) {
  ShowWithPortAndPicture();
  chooser.beforeAnswer = [] { throw std::bad_alloc(); };
  QTest::mouseClick(&Button("Button3"), Qt::LeftButton);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], std::bad_alloc().what());
  EXPECT_TRUE(window->isVisible());

  chooser.beforeAnswer = [] { throw 42; };  // not even an exception class
  QTest::mouseClick(&Button("Button3"), Qt::LeftButton);
  EXPECT_EQ(errors.size(), 2u);

  QTest::mouseClick(&Button("Button1"), Qt::LeftButton);
  EXPECT_THAT(platform.writeRequests, ElementsAre(ExpectedFrame(false, 0, 0)));
}

}  // namespace
}  // namespace tablica::window_testing
