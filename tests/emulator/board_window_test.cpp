// The emulator's window, offscreen: what arrives is drawn on the right
// board, dot for dot, and the status line tells good from bad.

#include "emulator/board_window.h"

#include <QApplication>
#include <QImage>
#include <QLabel>

#include <gtest/gtest.h>

#include "test_kit.h"

namespace emulator {
namespace {

using Bytes = std::vector<std::uint8_t>;

Unit FrameWithDots(const Bytes& dots, bool ok) {
  return Unit{UnitKind::Frame, tablica::testing::FrameBytes(dots), ok};
}

// Colour at the centre of dot (x, y) of a board view drawn at `size`.
QColor DotColour(const QImage& image, int x, int y) {
  const double pitch = std::min((image.width() - 8) / 128.0, (image.height() - 8) / 32.0);
  const double left = (image.width() - pitch * 128) / 2;
  const double top = (image.height() - pitch * 32) / 2;
  return image.pixelColor(int(left + (x + 0.5) * pitch), int(top + (y + 0.5) * pitch));
}

bool Bright(const QColor& c) {
  return c.red() > 200 && c.green() > 120;
}

class BoardWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "board_window_test";
    static char* argv[] = {name, nullptr};
    // Lives as long as the process: Qt wants one application object, made
    // once, and none destroyed during static destruction.
    if (!QApplication::instance()) app_ = new QApplication(argc, argv);
  }
  static QApplication* app_;
};
QApplication* BoardWindowTest::app_ = nullptr;

TEST_F(BoardWindowTest, LitDotsAreDrawnWhereTheBitsSayOnTheirOwnBoard) {
  BoardWindow window("test");
  window.resize(1400, 300);
  Bytes dots(kDotBytes, 0);
  dots[0] = 0x80;            // (0, 0)
  dots[511] = 0x01;          // (127, 31)
  dots[16 * 10 + 5] = 0x10;  // (43, 10)
  window.ShowUnit(FrameWithDots(dots, true), std::chrono::system_clock::now());

  auto* first = window.findChild<BoardView*>("board1");
  auto* second = window.findChild<BoardView*>("board2");
  ASSERT_TRUE(first && second);
  const QImage image = first->grab().toImage();
  EXPECT_TRUE(Bright(DotColour(image, 0, 0)));
  EXPECT_TRUE(Bright(DotColour(image, 127, 31)));
  EXPECT_TRUE(Bright(DotColour(image, 43, 10)));
  EXPECT_FALSE(Bright(DotColour(image, 1, 0)));
  EXPECT_FALSE(Bright(DotColour(image, 42, 10)));
  EXPECT_EQ(second->Picture().LitCount(), 0);
  const QImage dark = second->grab().toImage();
  EXPECT_FALSE(Bright(DotColour(dark, 0, 0)));
}

TEST_F(BoardWindowTest, StatusLineSaysWhatCameAndMarksBadChecksums) {
  BoardWindow window("test");
  auto* status = window.findChild<QLabel*>("status");
  ASSERT_TRUE(status);
  window.ShowUnit(FrameWithDots(Bytes(kDotBytes, 0xFF), true), std::chrono::system_clock::now());
  EXPECT_TRUE(status->text().contains("ramka"));
  EXPECT_TRUE(status->styleSheet().isEmpty());

  Bytes block(kBlockBytes, 0x0F);
  window.ShowUnit(Unit{UnitKind::Block, block, false}, std::chrono::system_clock::now());
  EXPECT_TRUE(status->text().contains("blok"));
  EXPECT_FALSE(status->styleSheet().isEmpty());
  EXPECT_EQ(window.findChild<BoardView*>("board2")->Picture().LitCount(), 4 * 512);
  EXPECT_EQ(window.findChild<BoardView*>("board1")->Picture().LitCount(), 8 * 512);
}

}  // namespace
}  // namespace emulator
