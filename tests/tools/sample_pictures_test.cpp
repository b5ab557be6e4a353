#include "tools/sample_pictures.h"

#include <gtest/gtest.h>

namespace tablica::tools {
namespace {

// Colour index of pixel (x, y) in a 1-bit bitmap.
int IndexAt(const Bitmap& bitmap, int x, int y) {
  return (bitmap.Row(y)[x / 8] >> (7 - x % 8)) & 1;
}

TEST(SamplePicturesTest, EverySampleFitsTheBoardInBlackAndWhite) {
  const auto samples = SamplePictures();
  ASSERT_GE(samples.size(), 2u);
  for (const auto& sample : samples) {
    SCOPED_TRACE(sample.fileName);
    EXPECT_EQ(sample.bitmap.Width(), 128);
    EXPECT_EQ(sample.bitmap.Height(), 32);
    EXPECT_EQ(sample.bitmap.BitsPerPixel(), 1);
    EXPECT_EQ(sample.bitmap.Palette(), (std::vector<std::uint32_t>{0x000000, 0xFFFFFF}));
    int black = 0;
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 128; ++x) black += IndexAt(sample.bitmap, x, y) == 0;
    }
    EXPECT_GT(black, 50);
    EXPECT_LT(black, 128 * 32 / 2);
  }
}

TEST(SamplePicturesTest, TestPatternMarksTheCornersAndEdges) {
  const Bitmap pattern = MakeTestPattern();
  for (auto [x, y] : {std::pair{0, 0}, {127, 0}, {0, 31}, {127, 31}, {2, 2}, {125, 29}}) {
    EXPECT_EQ(IndexAt(pattern, x, y), 0) << x << "," << y;
  }
  EXPECT_EQ(IndexAt(pattern, 1, 1), 1);
}

TEST(SamplePicturesTest, PolishLettersAreOneCellEachAndUnknownOnesShowAsABox) {
  EXPECT_EQ(TextWidth("Zażółć gęślą jaźń"), 17 * 6 - 1);
  EXPECT_EQ(TextWidth(""), 0);
  PixelGrid known(12, 11), unknown(12, 11);
  DrawText(known, 0, 0, "ż");
  DrawText(unknown, 0, 0, "Ω");
  EXPECT_TRUE(known.Get(2, 2));  // the dot above
  EXPECT_FALSE(known.Get(0, 2));
  EXPECT_TRUE(unknown.Get(0, 2));  // the box's corner
  EXPECT_TRUE(unknown.Get(4, 8));
  // A cut-off multi-byte letter neither crashes nor reads past the text.
  PixelGrid grid(12, 11);
  EXPECT_EQ(DrawText(grid, 0, 0, std::string("\xC5", 1)), 6);
  // Drawing past the edges is clipped.
  DrawText(grid, 10, 5, "mmm");
}

}  // namespace
}  // namespace tablica::tools
