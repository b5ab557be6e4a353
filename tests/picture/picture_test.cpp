// Pictures and text made into the board's dots: exact dots where the
// methods define them (threshold, ordered, each placement, --lit,
// transparency), properties where they do not (diffusion's mean, Otsu on
// two tones), text at known places, the bitmap file, and damaged input.

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

#include <gtest/gtest.h>

#include "board/bitmap.h"
#include "picture/convert.h"
#include "picture/dots_painter.h"
#include "picture_gui.h"

namespace tablica::picture {
namespace {

class PictureTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::EnsurePictureGui(); }
};

QImage Filled(int w, int h, QColor colour, QImage::Format format = QImage::Format_RGB32) {
  QImage image(w, h, format);
  image.fill(colour);
  return image;
}

void Paint(QImage& image, QRect rect, QColor colour) {
  QPainter painter(&image);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.fillRect(rect, colour);
}

std::vector<std::uint8_t> Encoded(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return {bytes.begin(), bytes.end()};
}

// The lit dots as the rectangles they should make.
BoardDots LitIn(std::initializer_list<QRect> rects) {
  BoardDots dots;
  for (const QRect& r : rects) {
    for (int y = r.top(); y <= r.bottom(); ++y) {
      for (int x = r.left(); x <= r.right(); ++x) dots.SetLit(x, y);
    }
  }
  return dots;
}

ConvertOptions With(Placement placement, LitSide lit = LitSide::Dark,
                    DotsMethod method = DotsMethod::Threshold, std::optional<int> level = {}) {
  ConvertOptions options;
  options.placement = placement;
  options.lit = lit;
  options.dots = method;
  options.level = level;
  return options;
}

BoardDots Converted(const QImage& image, const ConvertOptions& options) {
  // Through PNG and the reader, as a file would go.
  const auto bytes = Encoded(image, "PNG");
  const DotsResult result = ConvertPictureData(bytes, "test.png", options);
  EXPECT_TRUE(result.Ok()) << result.error;
  return result.dots;
}

TEST_F(PictureTest, EachPlacementPutsThePictureWhereItBelongs) {
  struct Case {
    const char* what;
    QImage picture;
    Placement placement;
    BoardDots expected;
  };
  // Black marks on white; sizes chosen so that scaling is exact (1:1 or
  // whole blocks averaged).
  QImage half = Filled(64, 32, Qt::white);  // left half black
  Paint(half, QRect(0, 0, 32, 32), Qt::black);
  QImage band = Filled(128, 64, Qt::white);  // rows 16..23 black, row 15 too
  Paint(band, QRect(0, 15, 128, 1), Qt::black);
  Paint(band, QRect(0, 16, 128, 8), Qt::black);
  Paint(band, QRect(0, 15, 128, 1), QColor(Qt::white));
  Paint(band, QRect(0, 14, 10, 1), Qt::black);  // above what the board shows
  QImage wide = Filled(256, 32, Qt::white);     // column 64 black: the first column shown
  Paint(wide, QRect(64, 0, 1, 32), Qt::black);
  Paint(wide, QRect(63, 0, 1, 32), Qt::black);
  QImage large = Filled(256, 128, Qt::white);  // left half black, scaled 1/2 and 1/4
  Paint(large, QRect(0, 0, 128, 128), Qt::black);
  QImage corner = Filled(200, 50, Qt::white);  // 1:1, cut at the edge
  Paint(corner, QRect(127, 31, 1, 1), Qt::black);
  Paint(corner, QRect(128, 0, 5, 5), Qt::black);
  Paint(corner, QRect(0, 32, 5, 5), Qt::black);
  Paint(corner, QRect(0, 0, 3, 2), Qt::black);

  const Case cases[] = {
      {"fit, 1:1, centred", half, Placement::Fit, LitIn({{32, 0, 32, 32}})},
      {"fill, overflow cut evenly top and bottom", band, Placement::Fill, LitIn({{0, 0, 128, 8}})},
      {"fill, overflow cut evenly left and right", wide, Placement::Fill, LitIn({{0, 0, 1, 32}})},
      {"stretch", large, Placement::Stretch, LitIn({{0, 0, 64, 32}})},
      {"fit, scaled down", large, Placement::Fit, LitIn({{32, 0, 32, 32}})},
      {"none", corner, Placement::None, LitIn({{127, 31, 1, 1}, {0, 0, 3, 2}})},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Converted(c.picture, With(c.placement)), c.expected) << c.what;
  }
}

TEST_F(PictureTest, FitScalesSmallPicturesUpAndKeepsMarginsUnlitForBothLitSides) {
  const QImage black = Filled(8, 8, Qt::black);
  EXPECT_EQ(Converted(black, With(Placement::Fit)), LitIn({{48, 0, 32, 32}}));
  // Bright parts light: the black picture lights nothing, and neither do
  // the margins.
  EXPECT_EQ(Converted(black, With(Placement::Fit, LitSide::Bright)).LitCount(), 0);
  const QImage white = Filled(8, 8, Qt::white);
  EXPECT_EQ(Converted(white, With(Placement::Fit, LitSide::Bright)), LitIn({{48, 0, 32, 32}}));
}

TEST_F(PictureTest, CameraOrientationIsAppliedBeforePlacing) {
  // Stored 64 x 32 with its left half black, marked "turn a quarter
  // clockwise": upright it is 32 x 64 with the top half black, which fits
  // the board as 16 x 32 in the middle.
  QImage stored = Filled(64, 32, Qt::white);
  Paint(stored, QRect(0, 0, 32, 32), Qt::black);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "JPEG");
  writer.setTransformation(QImageIOHandler::TransformationRotate90);
  ASSERT_TRUE(writer.write(stored));
  const std::vector<std::uint8_t> file(bytes.begin(), bytes.end());
  const DotsResult result = ConvertPictureData(file, "x.jpg", ConvertOptions());
  ASSERT_TRUE(result.Ok()) << result.error;
  int top = 0, bottom = 0;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 128; ++x) {
      if (!result.dots.IsLit(x, y)) continue;
      ASSERT_TRUE(x >= 56 && x < 72) << "lit outside the picture at " << x << "," << y;
      (y < 16 ? top : bottom) += 1;
    }
  }
  EXPECT_GE(top, 16 * 16 * 95 / 100);
  EXPECT_LE(bottom, 16 * 16 * 5 / 100);
}

TEST_F(PictureTest, ThresholdLevelsOnAGradient) {
  // Column x has brightness 2x (0 ... 254).
  QImage gradient(128, 32, QImage::Format_RGB32);
  for (int x = 0; x < 128; ++x) Paint(gradient, QRect(x, 0, 1, 32), QColor(2 * x, 2 * x, 2 * x));
  struct Case {
    int level;
    LitSide lit;
    int litColumns;  // from the left for dark, from the right for bright
  };
  const Case cases[] = {
      {0, LitSide::Dark, 0},     {1, LitSide::Dark, 1},     {128, LitSide::Dark, 64},
      {255, LitSide::Dark, 128}, {0, LitSide::Bright, 128}, {128, LitSide::Bright, 64},
      {254, LitSide::Bright, 1}, {255, LitSide::Bright, 0},
  };
  for (const Case& c : cases) {
    const BoardDots dots =
        Converted(gradient, With(Placement::Fit, c.lit, DotsMethod::Threshold, c.level));
    const QRect lit = c.lit == LitSide::Dark ? QRect(0, 0, c.litColumns, 32)
                                             : QRect(128 - c.litColumns, 0, c.litColumns, 32);
    EXPECT_EQ(dots, LitIn({lit})) << "level " << c.level;
  }
}

TEST_F(PictureTest, AutomaticLevelSeparatesTwoTonesExactly) {
  for (const auto& [dark, light] : {std::pair{90, 160}, {0, 1}, {200, 230}}) {
    QImage picture = Filled(128, 32, QColor(light, light, light));
    BoardDots expected;
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 128; ++x) {
        if ((x * 7 + y * 13) % 5 < 2) {
          Paint(picture, QRect(x, y, 1, 1), QColor(dark, dark, dark));
          expected.SetLit(x, y);
        }
      }
    }
    EXPECT_EQ(Converted(picture, With(Placement::Fit)), expected) << dark << "/" << light;
  }
}

TEST_F(PictureTest, OrderedDotsFollowTheBayerMatrix) {
  // A flat grey g lights the matrix cells whose level 4B + 2 is above g:
  // black lights every dot, white none, middle grey half.
  struct Case {
    int grey;
    int litPerTile;
  };
  for (const Case& c : {Case{0, 64}, {1, 64}, {2, 63}, {127, 32}, {128, 32}, {254, 0}, {255, 0}}) {
    const BoardDots dots = Converted(Filled(128, 32, QColor(c.grey, c.grey, c.grey)),
                                     With(Placement::Fit, LitSide::Dark, DotsMethod::Ordered));
    EXPECT_EQ(dots.LitCount(), c.litPerTile * 64) << "grey " << c.grey;
    const int inverted = 255 - c.grey;
    const BoardDots bright = Converted(Filled(128, 32, QColor(inverted, inverted, inverted)),
                                       With(Placement::Fit, LitSide::Bright, DotsMethod::Ordered));
    EXPECT_EQ(bright.LitCount(), c.litPerTile * 64) << "inverted grey " << 255 - c.grey;
  }
  // Middle grey: the matrix's lower half (cell 0 at the corner) stays unlit.
  const BoardDots middle = Converted(Filled(128, 32, QColor(128, 128, 128)),
                                     With(Placement::Fit, LitSide::Dark, DotsMethod::Ordered));
  EXPECT_FALSE(middle.IsLit(0, 0));
  EXPECT_TRUE(middle.IsLit(1, 0));
  EXPECT_TRUE(middle.IsLit(8, 1));  // cell (0, 1) is 48
  EXPECT_FALSE(middle.IsLit(9, 1));
}

TEST_F(PictureTest, DiffusionKeepsTheMeanBrightnessWithinTwoPerCent) {
  std::vector<std::pair<const char*, QImage>> pictures;
  for (int g : {20, 77, 128, 180, 240}) {
    pictures.emplace_back("flat", Filled(128, 32, QColor(g, g, g)));
  }
  QImage gradient(512, 128, QImage::Format_RGB32);
  for (int x = 0; x < 512; ++x) Paint(gradient, QRect(x, 0, 1, 128), QColor(x / 2, x / 2, x / 2));
  pictures.emplace_back("gradient", gradient);
  for (const auto& [what, picture] : pictures) {
    for (LitSide lit : {LitSide::Dark, LitSide::Bright}) {
      const BoardDots dots =
          Converted(picture, With(Placement::Stretch, lit, DotsMethod::Diffusion));
      const QImage board = picture.scaled(128, 32, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                               .convertToFormat(QImage::Format_Grayscale8);
      double brightness = 0;
      for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 128; ++x) brightness += board.constScanLine(y)[x] / 255.0;
      }
      const double share = brightness / 4096;
      const double lit_share = dots.LitCount() / 4096.0;
      EXPECT_NEAR(lit == LitSide::Dark ? 1 - share : share, lit_share, 0.02)
          << what << " " << NameOf(lit);
    }
  }
}

TEST_F(PictureTest, TransparencyShowsTheUnlitBackground) {
  QImage picture = Filled(128, 32, Qt::transparent, QImage::Format_ARGB32);
  Paint(picture, QRect(0, 0, 10, 10), Qt::black);
  Paint(picture, QRect(20, 0, 10, 10), Qt::white);
  EXPECT_EQ(Converted(picture, With(Placement::Fit)), LitIn({{0, 0, 10, 10}}));
  EXPECT_EQ(Converted(picture, With(Placement::Fit, LitSide::Bright)), LitIn({{20, 0, 10, 10}}));
}

DotsResult Text(std::vector<std::string> lines, Alignment align = Alignment::Centre,
                std::optional<int> size = {}) {
  ConvertOptions options;
  options.text = std::move(lines);
  options.align = align;
  options.size = size;
  return RenderText(options);
}

TEST_F(PictureTest, UnifontTextLandsOnKnownColumnsAndRows) {
  // U+2588 FULL BLOCK is Unifont's whole 8 x 16 cell.
  const std::string block = "\u2588";
  struct Case {
    const char* what;
    std::vector<std::string> lines;
    Alignment align;
    std::optional<int> size;
    BoardDots expected;
  };
  const Case cases[] = {
      {"one line, enlarged twice",
       {block + block},
       Alignment::Centre,
       {},
       LitIn({{48, 0, 32, 32}})},
      {"left", {block + block}, Alignment::Left, {}, LitIn({{0, 0, 32, 32}})},
      {"right", {block + block}, Alignment::Right, {}, LitIn({{96, 0, 32, 32}})},
      {"16 dots asked for", {block}, Alignment::Left, 16, LitIn({{0, 8, 8, 16}})},
      {"two lines fill the 32 rows",
       {block, block + block},
       Alignment::Centre,
       {},
       LitIn({{60, 0, 8, 16}, {56, 16, 16, 16}})},
  };
  for (const Case& c : cases) {
    const DotsResult result = Text(c.lines, c.align, c.size);
    ASSERT_TRUE(result.Ok()) << c.what << ": " << result.error;
    EXPECT_EQ(result.dots, c.expected) << c.what;
  }
  // Polish letters are drawn (not left blank as missing glyphs).
  const DotsResult polish = Text({"ąęłńóśźżć", "ĄĘŁŃÓŚŹŻĆ"});
  ASSERT_TRUE(polish.Ok()) << polish.error;
  for (int row : {0, 16}) {
    for (int letter = 0; letter < 9; ++letter) {
      int lit = 0;
      for (int y = row; y < row + 16; ++y) {
        for (int x = 28 + 8 * letter; x < 36 + 8 * letter; ++x) lit += polish.dots.IsLit(x, y);
      }
      EXPECT_GT(lit, 8) << "letter " << letter << " of line " << row / 16;
    }
  }
}

TEST_F(PictureTest, OtherFontsAndFontFilesAreDrawnAtTheirPixelSize) {
  // Unifont named by its file draws as the default does.
  ConvertOptions byFile;
  byFile.text = {"Zażółć"};
  byFile.font = "/usr/share/fonts/opentype/unifont/unifont.otf";
  const DotsResult file = RenderText(byFile);
  ASSERT_TRUE(file.Ok()) << file.error;
  EXPECT_EQ(file.dots, Text({"Zażółć"}).dots);

  // Another family at a given size stays inside its line; without a size
  // it takes the largest that fits.
  const auto litRows = [](const BoardDots& dots) {
    int first = 32, last = -1;
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 128; ++x) {
        if (dots.IsLit(x, y)) first = std::min(first, y), last = std::max(last, y);
      }
    }
    return last - first + 1;
  };
  ConvertOptions dejavu;
  dejavu.text = {"Ab"};
  dejavu.font = "DejaVu Sans";
  dejavu.size = 12;
  const DotsResult small = RenderText(dejavu);
  ASSERT_TRUE(small.Ok()) << small.error;
  EXPECT_GT(litRows(small.dots), 6);
  EXPECT_LE(litRows(small.dots), 16);
  dejavu.size.reset();
  const DotsResult largest = RenderText(dejavu);
  ASSERT_TRUE(largest.Ok()) << largest.error;
  EXPECT_GT(litRows(largest.dots), 2 * litRows(small.dots) * 3 / 4);
}

TEST_F(PictureTest, TextThatDoesNotFitIsRefusedWithTheOverflow) {
  struct Case {
    std::vector<std::string> lines;
    std::optional<int> size;
    const char* message;
  };
  const Case cases[] = {
      {{"Zażółć gęślą jaźń"},
       {},
       "Tekst nie mieści się na tablicy 128 × 32: jest o 8 punktów za szeroki."},
      {{"ab", "cd"}, 32, "Tekst nie mieści się na tablicy 128 × 32: jest o 32 punkty za wysoki."},
      {{"123456789", "x"},
       32,
       "Tekst nie mieści się na tablicy 128 × 32: jest o 16 punktów za szeroki i jest o 32 punkty "
       "za wysoki."},
      {{"a"}, 20, "GNU Unifont ma rozmiary 16, 32 ... punktów (wielokrotności 16), nie 20."},
  };
  for (const Case& c : cases) {
    const DotsResult result = Text(c.lines, Alignment::Centre, c.size);
    EXPECT_EQ(result.error, c.message);
  }
  ConvertOptions missing;
  missing.text = {"a"};
  missing.font = "No Such Font Family";
  EXPECT_EQ(RenderText(missing).error, "Nie znaleziono czcionki „No Such Font Family”.");
}

TEST_F(PictureTest, BitmapFileHasBlackAsEntryZeroForEveryLitDot) {
  BoardDots dots = LitIn({{0, 0, 1, 1}, {127, 31, 1, 1}, {40, 9, 9, 3}});
  const std::vector<std::uint8_t> file = EncodeDotsBmp(dots);
  const BitmapLoadResult read = ReadBitmap(file);
  ASSERT_TRUE(read.Ok()) << read.error;
  ASSERT_EQ(read.bitmap.Width(), 128);
  ASSERT_EQ(read.bitmap.Height(), 32);
  ASSERT_EQ(read.bitmap.BitsPerPixel(), 1);
  EXPECT_EQ(read.bitmap.Palette(), (std::vector<std::uint32_t>{0x000000, 0xFFFFFF}));
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 128; ++x) {
      const bool indexZero = ((read.bitmap.Row(y)[x / 8] >> (7 - x % 8)) & 1) == 0;
      ASSERT_EQ(indexZero, dots.IsLit(x, y)) << x << "," << y;
    }
  }
}

// PNG's chunk checksum, so that a doctored header is read as such.
std::uint32_t Crc32(std::span<const std::uint8_t> bytes) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (std::uint8_t b : bytes) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  return ~crc;
}

TEST_F(PictureTest, DamagedAndHugePicturesAreRefusedWithAMessage) {
  QImage photo(300, 200, QImage::Format_RGB32);
  for (int y = 0; y < 200; ++y) {
    for (int x = 0; x < 300; ++x) photo.setPixel(x, y, qRgb(x, y, x ^ y));
  }
  const auto cut = [](std::vector<std::uint8_t> bytes) {
    bytes.resize(bytes.size() * 2 / 3);
    return bytes;
  };
  // Headers declaring 100000 x 100000 pixels, and no pixels.
  std::vector<std::uint8_t> hugeBmp = EncodeDotsBmp(BoardDots());
  for (int i = 0; i < 4; ++i) {
    hugeBmp[18 + i] = static_cast<std::uint8_t>(100000 >> (8 * i));
    hugeBmp[22 + i] = static_cast<std::uint8_t>(100000 >> (8 * i));
  }
  std::vector<std::uint8_t> hugePng = Encoded(Filled(8, 8, Qt::black), "PNG");
  for (int i = 0; i < 4; ++i) {
    hugePng[16 + i] = static_cast<std::uint8_t>(100000 >> (24 - 8 * i));
    hugePng[20 + i] = static_cast<std::uint8_t>(100000 >> (24 - 8 * i));
  }
  const std::uint32_t crc = Crc32(std::span(hugePng).subspan(12, 17));
  for (int i = 0; i < 4; ++i) hugePng[29 + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
  const std::string tooLarge =
      "Obraz x ma 100000 × 100000 pikseli, ponad 64 megapiksele; takiego nie wczytuję.";
  const std::string text = "no picture at all";
  // A header whose width and depth, multiplied, overflowed a size check.
  const std::vector<std::uint8_t> nonsense = {
      0x42, 0x4d, 0x76, 0x0b, 0x00, 0x00, 0x0e, 0x95, 0x08, 0x2b, 0xa2, 0xc4, 0x0e, 0x1b,
      0x00, 0x00, 0x0e, 0x95, 0x08, 0x2b, 0xa2, 0xc4, 0x0e, 0x0b, 0x00, 0x41, 0x44, 0x54,
      0x00, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x32, 0x20};
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
    std::string message;
  };
  const Case cases[] = {
      {"truncated PNG", cut(Encoded(photo, "PNG")), "Obraz x jest uszkodzony albo niepełny."},
      {"truncated JPEG", cut(Encoded(photo, "JPEG")), "Obraz x jest uszkodzony albo niepełny."},
      {"truncated BMP", cut(Encoded(photo, "BMP")), "Obraz x jest uszkodzony albo niepełny."},
      {"not a picture",
       {text.begin(), text.end()},
       "Plik x nie jest obrazem, który umiem odczytać."},
      {"empty", {}, "Plik x nie jest obrazem, który umiem odczytać."},
      {"BMP of nonsense sizes", nonsense, "Obraz x jest uszkodzony albo niepełny."},
      {"huge BMP", hugeBmp, tooLarge},
      {"huge PNG", hugePng, tooLarge},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ConvertPictureData(c.bytes, "x", ConvertOptions()).error, c.message) << c.what;
    EXPECT_EQ(LoadPictureData(c.bytes, "x").error, c.message) << c.what;
  }
  // The whole files convert.
  for (const char* format : {"PNG", "JPEG", "BMP", "PPM"}) {
    EXPECT_TRUE(ConvertPictureData(Encoded(photo, format), "x", ConvertOptions()).Ok()) << format;
  }
}

TEST_F(PictureTest, PreviewDrawsLitDotsBrightAndUnlitDotsDim) {
  const BoardDots dots = LitIn({{0, 0, 1, 1}, {64, 16, 2, 1}});
  const QImage preview = DrawPreview(dots, 5);
  ASSERT_EQ(preview.size(), QSize(128 * 5 + 8, 32 * 5 + 8));
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 128; ++x) {
      const QPointF centre = DotCentre(preview.size(), x, y);
      const QColor colour = preview.pixelColor(centre.toPoint());
      ASSERT_EQ(colour.red() > 200, dots.IsLit(x, y)) << x << "," << y;
    }
  }
}

}  // namespace
}  // namespace tablica::picture
