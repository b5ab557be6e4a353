#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "board/bitmap.h"
#include "test_kit.h"

namespace tablica {
namespace {

using testing::BmpLayout;
using testing::MakeBmp;
namespace at = testing::bmp_at;

// Stored bytes that differ from row to row and byte to byte, padding included.
std::vector<std::uint8_t> PatternRows(int width, int height, int bitsPerPixel) {
  std::vector<std::uint8_t> rows(testing::BmpStride(width, bitsPerPixel) *
                                 static_cast<std::size_t>(height));
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<std::uint8_t>(i * 37 + 11);
  return rows;
}

void ExpectRows(const Bitmap& bitmap, const std::vector<std::uint8_t>& rows) {
  const std::size_t stride = bitmap.RowStride();
  ASSERT_EQ(stride * static_cast<std::size_t>(bitmap.Height()), rows.size());
  for (int r = 0; r < bitmap.Height(); ++r) {
    const std::vector<std::uint8_t> got(bitmap.Row(r), bitmap.Row(r) + stride);
    const auto first = rows.begin() + static_cast<std::ptrdiff_t>(r * stride);
    ASSERT_EQ(got, std::vector<std::uint8_t>(first, first + static_cast<std::ptrdiff_t>(stride)))
        << "row " << r;
  }
}

struct Format {
  std::uint32_t headerSize;
  int bitsPerPixel;
  bool bitfields;
};

class ReaderFormats : public ::testing::TestWithParam<Format> {};

// Every header size and depth keeps the stored rows as the file has them,
// row 0 at the top, whichever way the file stores them.
TEST_P(ReaderFormats, KeepsStoredRowsTopFirstInBothRowOrders) {
  const Format f = GetParam();
  for (const bool topDown : {false, true}) {
    if (topDown && f.headerSize == 12) continue;  // the core header has no sign
    BmpLayout layout{.width = 13,
                     .height = 5,
                     .bitsPerPixel = f.bitsPerPixel,
                     .headerSize = f.headerSize,
                     .topDown = topDown,
                     .bitfields = f.bitfields};
    layout.masks = f.bitsPerPixel == 16 ? std::array<std::uint32_t, 4>{0xF800, 0x07E0, 0x001F, 0}
                                        : std::array<std::uint32_t, 4>{0xFF, 0xFF00, 0xFF0000, 0};
    layout.rows = PatternRows(layout.width, layout.height, layout.bitsPerPixel);
    const BitmapLoadResult result = ReadBitmap(MakeBmp(layout));
    ASSERT_TRUE(result.Ok()) << result.error << " topDown=" << topDown;
    EXPECT_EQ(result.bitmap.Width(), 13);
    EXPECT_EQ(result.bitmap.Height(), 5);
    EXPECT_EQ(result.bitmap.BitsPerPixel(), f.bitsPerPixel);
    ExpectRows(result.bitmap, layout.rows);
  }
}

INSTANTIATE_TEST_SUITE_P(
    AllHeadersAndDepths, ReaderFormats,
    ::testing::Values(Format{12, 1, false}, Format{12, 4, false}, Format{12, 8, false},
                      Format{12, 24, false}, Format{40, 1, false}, Format{40, 4, false},
                      Format{40, 8, false}, Format{40, 16, false}, Format{40, 24, false},
                      Format{40, 32, false}, Format{40, 16, true}, Format{40, 32, true},
                      Format{52, 1, false}, Format{52, 16, true}, Format{56, 32, true},
                      Format{64, 1, false}, Format{64, 24, false}, Format{108, 1, false},
                      Format{108, 32, true}, Format{124, 1, false}, Format{124, 16, true}));

TEST(ReaderColours, PaletteAndMasksGiveScreenColours) {
  BmpLayout mono{.width = 9, .height = 1, .palette = {0x102030, 0xFFEEDD}};
  mono.rows = testing::OneBitRows(9, 1, [](int x, int) { return x == 8 ? 1 : 0; });
  const Bitmap one = ReadBitmap(MakeBmp(mono)).bitmap;
  EXPECT_EQ(one.PixelRgb(0, 0), 0x102030u);
  EXPECT_EQ(one.PixelRgb(8, 0), 0xFFEEDDu);

  BmpLayout rgb565{.width = 2,
                   .height = 1,
                   .bitsPerPixel = 16,
                   .bitfields = true,
                   .masks = {0xF800, 0x07E0, 0x001F, 0},
                   .rows = {0x00, 0xF8, 0xE0, 0x07}};
  const Bitmap sixteen = ReadBitmap(MakeBmp(rgb565)).bitmap;
  EXPECT_EQ(sixteen.PixelRgb(0, 0), 0xFF0000u);
  EXPECT_EQ(sixteen.PixelRgb(1, 0), 0x00FF00u);
  EXPECT_EQ(sixteen.PixelRgb(2, 0), 0u);  // outside the picture
}

TEST(ReaderRoundTrip, EncodedBitmapReadsBackUnchanged) {
  for (const int bpp : {1, 4, 8, 16, 24, 32}) {
    const Bitmap original = Bitmap::FromRows(21, 3, bpp, PatternRows(21, 3, bpp));
    const BitmapLoadResult back = ReadBitmap(EncodeBitmap(original));
    ASSERT_TRUE(back.Ok()) << back.error;
    ExpectRows(back.bitmap, PatternRows(21, 3, bpp));
    EXPECT_EQ(back.bitmap.PixelRgb(5, 2), original.PixelRgb(5, 2)) << bpp;
  }
  EXPECT_TRUE(EncodeBitmap(Bitmap{}).empty());
}

// Run-length data against the pixels it expands to: each row's first
// `width` bytes, top row first; skipped pixels are 0.
TEST(ReaderRunLength, ExpandsRunsForPicturesOnly) {
  struct Case {
    const char* what;
    int bitsPerPixel;
    std::vector<std::uint8_t> runs;
    std::vector<std::uint8_t> pixels;  // 4 x 2, top row first; empty: refused
  };
  const Case cases[] = {
      {"runs and an end of line", 8, {4, 7, 0, 0, 2, 5, 2, 6, 0, 1}, {5, 5, 6, 6, 7, 7, 7, 7}},
      {"literal pixels, padded to a word",
       8,
       {0, 3, 1, 2, 3, 0, 0, 0, 4, 9, 0, 1},
       {9, 9, 9, 9, 1, 2, 3, 0}},
      {"a jump leaves pixels unset", 8, {1, 4, 0, 2, 2, 1, 1, 8, 0, 1}, {0, 0, 0, 8, 4, 0, 0, 0}},
      {"an early end", 8, {2, 3, 0, 1}, {0, 0, 0, 0, 3, 3, 0, 0}},
      {"a run past the row's end is cut", 8, {9, 1, 0, 0, 4, 2}, {2, 2, 2, 2, 1, 1, 1, 1}},
      {"nibble runs alternate",
       4,
       {4, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 1},
       {3, 4, 5, 0, 1, 2, 1, 2}},
      {"data ends before the picture", 8, {4, 7, 0, 0, 2, 5}, {}},
      {"literal pixels cut off", 8, {0, 4, 1, 2}, {}},
      {"a jump cut off", 8, {0, 2, 1}, {}},
  };
  for (const Case& c : cases) {
    const std::vector<std::uint8_t> file = testing::MakeRunLengthBmp(4, 2, c.bitsPerPixel, c.runs);
    EXPECT_FALSE(ReadBitmap(file).Ok()) << c.what << ": the board's own road takes no runs";
    const BitmapLoadResult read = ReadBitmap(file, BitmapUse::Picture);
    ASSERT_EQ(read.Ok(), !c.pixels.empty()) << c.what << ": " << read.error;
    if (!read.Ok()) continue;
    std::vector<std::uint8_t> got;
    for (int y = 0; y < 2; ++y) got.insert(got.end(), read.bitmap.Row(y), read.bitmap.Row(y) + 4);
    EXPECT_EQ(got, c.pixels) << c.what;
  }
}

// A picture's sides are limited by its area only, so a long, thin picture
// converts, and run-length data cannot ask for more memory than a board's
// file could.
TEST(ReaderRunLength, PicturesAreLimitedByArea) {
  const std::vector<std::uint8_t> thin = MakeBmp({.width = 20000, .height = 1, .bitsPerPixel = 8});
  EXPECT_FALSE(ReadBitmap(thin).Ok());
  EXPECT_TRUE(ReadBitmap(thin, BitmapUse::Picture).Ok());
  std::vector<std::uint8_t> vast = testing::MakeRunLengthBmp(4, 2, 8, {0, 1});
  testing::SetLe32(vast, at::kWidth, 20000);
  testing::SetLe32(vast, at::kHeight, 20000);
  EXPECT_FALSE(ReadBitmap(vast, BitmapUse::Picture).Ok());
}

struct Damage {
  const char* what;
  void (*apply)(std::vector<std::uint8_t>&);
};

void PrintTo(const Damage& damage, std::ostream* os) {
  *os << damage.what;
}

class ReaderRefuses : public ::testing::TestWithParam<Damage> {};

TEST_P(ReaderRefuses, DamagedFile) {
  std::vector<std::uint8_t> file = MakeBmp(BmpLayout{});
  GetParam().apply(file);
  const BitmapLoadResult result = ReadBitmap(file);
  EXPECT_FALSE(result.Ok());
  EXPECT_TRUE(result.bitmap.IsEmpty());
}

using Bytes = std::vector<std::uint8_t>;
INSTANTIATE_TEST_SUITE_P(
    Malformed, ReaderRefuses,
    ::testing::Values(
        Damage{"not BM", [](Bytes& f) { f[0] = 'P'; }},
        Damage{"file size beyond the end",
               [](Bytes& f) { testing::SetLe32(f, at::kFileSize, 0x7DDDDDDD); }},
        Damage{"unknown header size", [](Bytes& f) { testing::SetLe32(f, at::kHeaderSize, 66); }},
        Damage{"header beyond the end",
               [](Bytes& f) {
                 testing::SetLe32(f, at::kHeaderSize, 124);
                 f.resize(100);
               }},
        Damage{"zero width", [](Bytes& f) { testing::SetLe32(f, at::kWidth, 0); }},
        Damage{"negative width", [](Bytes& f) { testing::SetLe32(f, at::kWidth, 0xFFFFFF81); }},
        Damage{"zero height", [](Bytes& f) { testing::SetLe32(f, at::kHeight, 0); }},
        Damage{"most negative height",
               [](Bytes& f) { testing::SetLe32(f, at::kHeight, 0x80000000); }},
        Damage{"absurd width", [](Bytes& f) { testing::SetLe32(f, at::kWidth, 16385); }},
        Damage{"two planes", [](Bytes& f) { testing::SetLe16(f, at::kPlanes, 2); }},
        Damage{"bit count 2", [](Bytes& f) { testing::SetLe16(f, at::kBitCount, 2); }},
        Damage{"bit count 30000", [](Bytes& f) { testing::SetLe16(f, at::kBitCount, 30000); }},
        Damage{"run-length", [](Bytes& f) { testing::SetLe32(f, at::kCompression, 2); }},
        Damage{"bit fields on 1 bit", [](Bytes& f) { testing::SetLe32(f, at::kCompression, 3); }},
        Damage{"jpeg", [](Bytes& f) { testing::SetLe32(f, at::kCompression, 4); }},
        Damage{"palette too big",
               [](Bytes& f) { testing::SetLe32(f, at::kColoursUsed, 0x12341234); }},
        Damage{"palette into pixels",
               [](Bytes& f) {
                 testing::SetLe32(f, at::kColoursUsed, 2);
                 testing::SetLe32(f, at::kPixelOffset, 60);
               }},
        Damage{"pixels inside the header",
               [](Bytes& f) { testing::SetLe32(f, at::kPixelOffset, 20); }},
        Damage{"pixels beyond the end",
               [](Bytes& f) { testing::SetLe32(f, at::kPixelOffset, 0xFFFFFFF0); }},
        Damage{"image size beyond the end",
               [](Bytes& f) { testing::SetLe32(f, at::kImageSize, 0x7EEEEEEE); }},
        Damage{"last row cut short",
               [](Bytes& f) {
                 f.pop_back();
                 testing::SetLe32(f, at::kFileSize, 0);
               }},
        Damage{"taller than the data", [](Bytes& f) { testing::SetLe32(f, at::kHeight, 33); }}),
    [](const ::testing::TestParamInfo<Damage>& info) {
      std::string name = info.param.what;
      for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return name;
    });

TEST(ReaderRefuses, EveryShortenedFile) {
  for (const std::uint32_t header : {12u, 40u, 124u}) {
    const std::vector<std::uint8_t> whole =
        MakeBmp(BmpLayout{.width = 16, .height = 2, .bitsPerPixel = 8, .headerSize = header});
    for (std::size_t n = 0; n < whole.size(); ++n) {
      std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
      EXPECT_FALSE(ReadBitmap(cut).Ok()) << "header " << header << ", " << n << " bytes";
    }
  }
}

TEST(ReaderRefuses, BitFieldMasksThatMakeNoSense) {
  const std::array<std::uint32_t, 4> bad[] = {
      {0xFF00, 0x00FF, 0, 0},          // no blue
      {0xF800, 0x0FE0, 0x001F, 0},     // red and green overlap
      {0xF00F, 0x07E0, 0x0010, 0},     // red not contiguous
      {0x1F0000, 0x07E0, 0x001F, 0}};  // wider than the pixel
  for (const auto& masks : bad) {
    EXPECT_FALSE(
        ReadBitmap(MakeBmp(BmpLayout{.bitsPerPixel = 16, .bitfields = true, .masks = masks})).Ok());
  }
}

TEST(LoadBitmapFile, ReadsAFileAndRefusesWhatIsNoFile) {
  const std::filesystem::path dir =
      std::filesystem::path(::testing::TempDir()) / "bitmap_reader_load_test";
  std::filesystem::create_directories(dir);
  BmpLayout layout{.width = 8, .height = 2};
  layout.rows = PatternRows(8, 2, 1);
  testing::WriteBytes(dir / "a.bmp", MakeBmp(layout));
  const BitmapLoadResult loaded = LoadBitmapFile(dir / "a.bmp");
  ASSERT_TRUE(loaded.Ok()) << loaded.error;
  ExpectRows(loaded.bitmap, layout.rows);
  EXPECT_FALSE(LoadBitmapFile(dir / "missing.bmp").Ok());
  EXPECT_FALSE(LoadBitmapFile(dir).Ok());
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tablica
