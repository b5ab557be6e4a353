#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "board/board_frame.h"
#include "test_kit.h"

namespace tablica {
namespace {

Bitmap OneBit(int width, int height, auto indexAt) {
  return Bitmap::FromRows(width, height, 1, testing::OneBitRows(width, height, indexAt));
}

std::vector<std::uint8_t> ImageArea(const BoardFrame& frame) {
  return {frame.bytes.begin() + kImageOffset, frame.bytes.begin() + kChecksumOffset};
}

// A 130-pixel-wide picture: 16 whole bytes per row are taken, the two
// rightmost dots dropped, and each row follows the previous with no gap.
TEST(PackBitmap, WideRowsDropTheirLastDots) {
  const Bitmap wide = OneBit(130, 32, [](int x, int y) { return x >= 128 || (x == y); });
  BoardFrame frame;
  BuildBoardFrame(frame, wide, false);
  for (int y = 0; y < 32; ++y) {
    for (int k = 0; k < 16; ++k) {
      const int expected = k == y / 8 ? 0x80 >> (y % 8) : 0;
      ASSERT_EQ(frame.bytes[kImageOffset + 16 * y + k], static_cast<std::uint8_t>(~expected))
          << "row " << y << ", byte " << k;
    }
  }
}

TEST(PackBitmap, NarrowPicturesTakeWholeBytesOnly) {
  // 8 wide: one byte per row although each stored row is 4 bytes long.
  const Bitmap eight = OneBit(8, 3, [](int x, int y) { return x == y ? 0 : 1; });
  BoardFrame frame;
  BuildBoardFrame(frame, eight, false);
  const std::vector<std::uint8_t> area = ImageArea(frame);
  EXPECT_EQ(area[0], 0x80);
  EXPECT_EQ(area[1], 0x40);
  EXPECT_EQ(area[2], 0x20);
  EXPECT_TRUE(std::all_of(area.begin() + 3, area.end(), [](auto b) { return b == 0; }));

  // Under 8 wide: nothing at all is packed.
  BuildBoardFrame(frame, OneBit(7, 32, [](int, int) { return 0; }), false);
  EXPECT_EQ(ImageArea(frame), std::vector<std::uint8_t>(kImageSize, 0));
}

TEST(FillImageArea, NeverWritesPastTheImageArea) {
  BoardFrame frame;
  EXPECT_THROW(FillImageArea(frame, OneBit(128, 33, [](int, int) { return 0; })),
               std::length_error);
  EXPECT_EQ(frame.bytes, BoardFrame{}.bytes);
}

TEST(CheckPicture, OnlyOneBitPicturesThatFit) {
  EXPECT_EQ(CheckPicture(Bitmap{}), PictureCheck::Fits);
  EXPECT_EQ(CheckPicture(OneBit(128, 32, [](int, int) { return 1; })), PictureCheck::Fits);
  EXPECT_EQ(CheckPicture(OneBit(256, 16, [](int, int) { return 1; })), PictureCheck::Fits);
  EXPECT_EQ(CheckPicture(OneBit(135, 32, [](int, int) { return 1; })), PictureCheck::Fits);
  EXPECT_EQ(CheckPicture(OneBit(136, 32, [](int, int) { return 1; })), PictureCheck::TooLarge);
  EXPECT_EQ(CheckPicture(OneBit(128, 33, [](int, int) { return 1; })), PictureCheck::TooLarge);
  const Bitmap grey = Bitmap::FromRows(128, 32, 8, std::vector<std::uint8_t>(128 * 32));
  EXPECT_EQ(CheckPicture(grey), PictureCheck::NotOneBit);
}

TEST(FrameChecksum, CoversBytesOneToNMinusOne) {
  BoardFrame frame;
  frame.bytes[0] = 0x55;  // the start byte is never part of it
  frame.bytes[1] = 0x01;
  frame.bytes[515] = 0x80;
  frame.bytes[516] = 0x3C;  // nor is the checksum byte itself
  EXPECT_EQ(FrameChecksum(frame, 516), 0x81);
  EXPECT_EQ(FrameChecksum(frame, 515), 0x01);
  EXPECT_EQ(FrameChecksum(frame, 1), 0x00);
  EXPECT_EQ(FrameChecksum(frame, 100000), 0x81 ^ 0x3C);  // clamped to the frame
}

// The same picture stored bottom-up and top-down gives the same frame.
TEST(BuildBoardFrame, RowOrderOfTheFileDoesNotMatter) {
  testing::BmpLayout layout =
      testing::OneBitLayout(128, 32, [](int x, int y) { return (x * 7 + y * 3) % 5 == 0; });
  const BitmapLoadResult bottomUp = ReadBitmap(testing::MakeBmp(layout));
  layout.topDown = true;
  const BitmapLoadResult topDown = ReadBitmap(testing::MakeBmp(layout));
  ASSERT_TRUE(bottomUp.Ok() && topDown.Ok());
  BoardFrame a;
  BoardFrame b;
  BuildBoardFrame(a, bottomUp.bitmap, true);
  BuildBoardFrame(b, topDown.bitmap, true);
  EXPECT_EQ(a.bytes, b.bytes);
  EXPECT_EQ(a.bytes[kImageOffset], 0x7B);  // row 0: dots 0 and 5 have index 1
}

}  // namespace
}  // namespace tablica
