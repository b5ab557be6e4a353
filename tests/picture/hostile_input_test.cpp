// Files from strangers: each damaged, oversized or cut-off picture is
// refused with its Polish message before a decoder can print on the
// terminal or run out of memory; tall, thin pictures placed to fill the
// board convert by cutting first, into the dots that scaling the whole
// picture gives; several files are written all or none.

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "board/bitmap.h"
#include "picture/convert.h"
#include "picture/decode.h"
#include "picture/whole_files.h"
#include "support/temp_folder.h"
#include "test_kit.h"

namespace tablica::picture {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

class HostileInputTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "hostile_input_test";
    static char* argv[] = {name, nullptr};
    PrepareHeadlessGui();
    if (!QGuiApplication::instance()) new QGuiApplication(argc, argv);
  }
};

Bytes Encoded(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(image.save(&buffer, format));
  return {bytes.begin(), bytes.end()};
}

std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= bytes[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  return ~crc;
}

void PutBe32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

// A PNG chunk with its length and checksum.
Bytes Chunk(const std::string& type, const Bytes& data) {
  Bytes out;
  PutBe32(out, static_cast<std::uint32_t>(data.size()));
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  PutBe32(out, Crc32(out.data() + 4, data.size() + 4));
  return out;
}

Bytes Joined(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

// A GIF of one colour byte by byte (Qt writes none): two colours, each
// frame's pixels coded uncompressed (a clear code before every pixel keeps
// the codes 3 bits wide).
// `coded`: how many pixels the data holds, when not the whole frame.
Bytes Gif(int screenW, int screenH, int frameW, int frameH, int frames, bool trailer = true,
          int coded = -1) {
  Bytes out = {'G', 'I', 'F', '8', '9', 'a'};
  const auto le16 = [&out](int v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  le16(screenW);
  le16(screenH);
  out.insert(out.end(), {0x80, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF});  // black, white
  for (int f = 0; f < frames; ++f) {
    out.push_back(0x2C);
    le16(0);
    le16(0);
    le16(frameW);
    le16(frameH);
    out.push_back(0);
    out.push_back(2);  // smallest code size: clear 4, end 5
    Bytes codes;
    std::uint32_t bits = 0;
    int count = 0;
    const auto put = [&](std::uint32_t code) {
      bits |= code << count;
      count += 3;
      while (count >= 8) {
        codes.push_back(static_cast<std::uint8_t>(bits));
        bits >>= 8;
        count -= 8;
      }
    };
    for (int i = 0; i < (coded < 0 ? frameW * frameH : coded); ++i) put(4), put(0);  // black
    put(5);
    if (count > 0) codes.push_back(static_cast<std::uint8_t>(bits));
    for (std::size_t at = 0; at < codes.size(); at += 255) {
      const std::size_t n = std::min<std::size_t>(255, codes.size() - at);
      out.push_back(static_cast<std::uint8_t>(n));
      out.insert(out.end(), codes.begin() + static_cast<std::ptrdiff_t>(at),
                 codes.begin() + static_cast<std::ptrdiff_t>(at + n));
    }
    out.push_back(0);
  }
  if (trailer) out.push_back(0x3B);
  return out;
}

Bytes Prefix(Bytes bytes, std::size_t size) {
  bytes.resize(size);
  return bytes;
}

Bytes FirstHalf(Bytes bytes) {
  return Prefix(bytes, bytes.size() / 2);
}

BoardDots LitRect(int left, int top, int width, int height) {
  BoardDots dots;
  for (int y = top; y < top + height; ++y) {
    for (int x = left; x < left + width; ++x) dots.SetLit(x, y);
  }
  return dots;
}

TEST_F(HostileInputTest, DamagedAndOversizedFilesAreRefusedWithoutAWordFromTheDecoders) {
  QImage photo(40, 30, QImage::Format_RGB32);
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 40; ++x) photo.setPixel(x, y, qRgb(6 * x, 8 * y, x ^ y));
  }
  const Bytes png = Encoded(photo, "PNG");
  const Bytes signature(png.begin(), png.begin() + 8);
  const Bytes header(png.begin() + 8, png.begin() + 33);  // IHDR, 13 bytes of data
  const Bytes headerData(png.begin() + 16, png.begin() + 29);
  Bytes rest(png.begin() + 33, png.end());  // the image data and the end
  const Bytes end = Chunk("IEND", {});
  Bytes badCrc = header;
  badCrc.back() ^= 0x01;
  Bytes badDepth = headerData;
  badDepth[8] = 7;  // no such bit depth
  const Bytes cutBmp = FirstHalf(testing::MakeBmp({.width = 64, .height = 32, .bitsPerPixel = 24}));
  Bytes oddHeader = testing::MakeBmp({.width = 19, .height = 25, .bitsPerPixel = 24});
  testing::SetLe32(oddHeader, testing::bmp_at::kHeaderSize, 0xF9000030);
  // Its rows said to start inside the headers: they are read from after them.
  Bytes rowsInHeaders = testing::MakeBmp({.width = 4, .height = 20, .bitsPerPixel = 24});
  rowsInHeaders.resize(rowsInHeaders.size() - 12);
  testing::SetLe32(rowsInHeaders, testing::bmp_at::kPixelOffset, 0);

  const std::string damaged = "Obraz x jest uszkodzony albo niepełny.";
  struct Case {
    const char* what;
    Bytes bytes;
    std::string message;
  };
  const Case cases[] = {
      {"PNG header's checksum wrong", Joined({signature, badCrc, rest}), damaged},
      {"PNG header of an impossible depth", Joined({signature, Chunk("IHDR", badDepth), rest}),
       damaged},
      {"PNG without image data", Joined({signature, header, end}), damaged},
      {"PNG cut, its end chunk glued on", Joined({FirstHalf(png), end}), damaged},
      {"PNG with an unknown critical chunk",
       Joined({signature, header, Chunk("QXYZ", {1, 2, 3}), rest}), damaged},
      {"PNG cut", FirstHalf(png), damaged},
      {"GIF cut in half", FirstHalf(Gif(64, 32, 64, 32, 1)), damaged},
      {"GIF cut inside its colour table", Prefix(Gif(8, 8, 8, 8, 1), 16), damaged},
      {"GIF whose logical screen is over 64 megapixels", Gif(10000, 10000, 1, 1, 1),
       "Obraz x ma 10000 × 10000 pikseli, ponad 64 megapiksele; takiego nie wczytuję."},
      {"GIF whose frame is over 64 megapixels", Gif(1, 1, 9000, 9000, 1, true, 1),
       "Obraz x ma 9000 × 9000 pikseli, ponad 64 megapiksele; takiego nie wczytuję."},
      {"BMP cut", cutBmp, damaged},
      {"BMP header of a length no BMP has", oddHeader, damaged},
      {"BMP rows from inside the headers, one short", rowsInHeaders, damaged},
      {"BMP run-length data cut", testing::MakeRunLengthBmp(4, 2, 8, {4, 7, 0, 0, 2, 5}), damaged},
  };
  for (const Case& c : cases) {
    ::testing::internal::CaptureStderr();
    const DotsResult result = ConvertPictureData(c.bytes, "x", ConvertOptions());
    const std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(result.error, c.message) << c.what;
    EXPECT_EQ(printed, "") << c.what;
  }
  // What the decoders take stays taken: an ancillary chunk with a wrong
  // checksum (the PNG library drops it), a GIF without its trailer.
  Bytes text = Chunk("tEXt", {'a', 0, 'b'});
  text.back() ^= 0x01;
  EXPECT_TRUE(ConvertPictureData(Joined({signature, header, text, rest}), "x", {}).Ok());
  for (const bool trailer : {true, false}) {
    const DotsResult gif = ConvertPictureData(Gif(64, 32, 64, 32, 2, trailer), "x", {});
    ASSERT_TRUE(gif.Ok()) << gif.error;
    EXPECT_EQ(gif.dots, LitRect(32, 0, 64, 32));
  }
}

// Every pixel of a BMP gets a colour: none comes from memory the decoder
// never set, so a picture converts to the same board every time.
TEST_F(HostileInputTest, BmpPixelsTheFileLeavesOutGetAColour) {
  // 8 bits a pixel, a 2-colour table (white first), one pixel past it.
  testing::BmpLayout pastTable{.width = 4, .height = 1, .bitsPerPixel = 8};
  pastTable.palette = {0xFFFFFF, 0x808080};
  pastTable.rows = {0, 1, 200, 0};
  // A jump over the top row's first three pixels and the bottom row's rest:
  // colour 0 of the grey ramp, black.
  const Bytes jump = testing::MakeRunLengthBmp(4, 2, 8, {1, 255, 0, 2, 2, 1, 1, 255, 0, 1});
  struct Case {
    const char* what;
    Bytes bytes;
    std::vector<QRgb> pixels;  // top row first
  };
  const Case cases[] = {
      {"index past the colour table",
       testing::MakeBmp(pastTable),
       {qRgb(255, 255, 255), qRgb(128, 128, 128), qRgb(0, 0, 0), qRgb(255, 255, 255)}},
      {"run-length jump",
       jump,
       {0xFF000000, 0xFF000000, 0xFF000000, qRgb(255, 255, 255), qRgb(255, 255, 255), 0xFF000000,
        0xFF000000, 0xFF000000}},
  };
  for (const Case& c : cases) {
    const PictureResult read = LoadPictureData(c.bytes, "x");
    ASSERT_TRUE(read.Ok()) << c.what << ": " << read.error;
    std::vector<QRgb> got;
    for (int y = 0; y < read.image.height(); ++y) {
      for (int x = 0; x < read.image.width(); ++x) got.push_back(read.image.pixel(x, y));
    }
    EXPECT_EQ(got, c.pixels) << c.what;
  }
}

TEST_F(HostileInputTest, GifWalkCountsFramesAndFindsTheLargest) {
  const Bytes gif = Gif(20, 10, 5, 4, 3);
  const std::optional<GifLayout> layout = WalkGif(gif);
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->screen, QSize(20, 10));
  EXPECT_EQ(layout->largestFrame, QSize(5, 4));
  EXPECT_EQ(layout->frames, 3);
  EXPECT_TRUE(layout->complete);
  for (std::size_t size = 13; size + 1 < gif.size(); size += 7) {
    const auto cut = WalkGif(std::span(gif).first(size));
    ASSERT_TRUE(cut);
    EXPECT_FALSE(cut->complete && cut->frames == 3) << size;
  }
  EXPECT_FALSE(WalkGif(Encoded(QImage(4, 4, QImage::Format_RGB32), "PNG")));

  // The frames one after another, as an animation is read.
  PictureFrames frames;
  const QByteArray bytes(reinterpret_cast<const char*>(gif.data()),
                         static_cast<qsizetype>(gif.size()));
  ASSERT_EQ(frames.Open(bytes, "x"), "");
  EXPECT_EQ(frames.Check().frames, 3);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(frames.ReadFrame().Ok()) << i;
  EXPECT_FALSE(frames.ReadFrame().Ok());
}

TEST_F(HostileInputTest, BitmapHeaderTellsTheDeclaredSizeAndACutFile) {
  const Bytes whole = testing::MakeBmp({.width = 100, .height = 20, .bitsPerPixel = 24});
  Bytes runLength = whole;
  testing::SetLe32(runLength, testing::bmp_at::kCompression, 1);
  Bytes huge = whole;
  testing::SetLe32(huge, testing::bmp_at::kWidth, 100000);
  struct Case {
    const char* what;
    Bytes bytes;
    std::int64_t width, height;
    bool cutShort;
  };
  const Case cases[] = {
      {"whole", whole, 100, 20, false},
      {"one row short", Bytes(whole.begin(), whole.end() - 300), 100, 20, true},
      {"top-down", testing::MakeBmp({.width = 8, .height = 3, .topDown = true}), 8, 3, false},
      {"core header", testing::MakeBmp({.width = 9, .height = 5, .headerSize = 12}), 9, 5, false},
      {"run-length, size not fixed", Bytes(runLength.begin(), runLength.end() - 300), 100, 20,
       false},
      {"larger than the reader takes", huge, 100000, 20, true},
  };
  for (const Case& c : cases) {
    const std::optional<BitmapHeader> header = ReadBitmapHeader(c.bytes);
    ASSERT_TRUE(header) << c.what;
    EXPECT_EQ(header->width, c.width) << c.what;
    EXPECT_EQ(header->height, c.height) << c.what;
    EXPECT_EQ(header->cutShort, c.cutShort) << c.what;
  }
  EXPECT_FALSE(ReadBitmapHeader(Bytes(whole.begin(), whole.begin() + 20)));
  EXPECT_FALSE(ReadBitmapHeader(Encoded(QImage(4, 4, QImage::Format_RGB32), "PNG")));
}

// Rows (or columns) of a thin picture: `dark` decides each one.
QImage Thin(int length, bool tall, const std::function<bool(int)>& dark) {
  QImage image(tall ? 1 : length, tall ? length : 1, QImage::Format_Grayscale8);
  for (int i = 0; i < length; ++i) {
    const int at = tall ? i : 0;
    image.scanLine(at)[tall ? 0 : i] = dark(i) ? 0 : 255;
  }
  return image;
}

TEST_F(HostileInputTest, ThinPicturesFillTheBoardFromTheirMiddle) {
  ConvertOptions fill;
  fill.placement = Placement::Fill;
  const auto all = [](int) { return true; };
  const auto middleDark = [](int i) { return i > 49000 && i < 51000; };
  const auto middleLight = [](int i) { return i <= 49000 || i >= 51000; };
  struct Case {
    const char* what;
    QImage picture;
    int lit;
  };
  const Case cases[] = {
      {"1 x 250000 black", Thin(250000, true, all), 4096},
      {"1 x 1000000 black", Thin(1000000, true, all), 4096},
      {"250000 x 1 black", Thin(250000, false, all), 4096},
      {"middle dark, the rest light", Thin(100000, true, middleDark), 4096},
      {"middle light, the rest dark", Thin(100000, true, middleLight), 0},
      {"a row: middle dark", Thin(100000, false, middleDark), 4096},
  };
  for (const Case& c : cases) {
    const DotsResult result = ConvertImage(c.picture, fill);
    ASSERT_TRUE(result.Ok()) << c.what << ": " << result.error;
    EXPECT_EQ(result.dots.LitCount(), c.lit) << c.what;
  }
}

TEST_F(HostileInputTest, CuttingBeforeScalingGivesTheDotsOfScalingWhole) {
  // A picture thin enough to be cut first, small enough to be scaled whole
  // here for comparison; every pixel different from its neighbours.
  for (const QSize size : {QSize(4, 3001), QSize(3000, 5), QSize(7, 999)}) {
    QImage picture(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
      for (int x = 0; x < size.width(); ++x) {
        const int v = (x * 37 + y * 101) % 256;
        picture.setPixel(x, y, qRgb(v, 255 - v, v / 2));
      }
    }
    const Placed placed = PlaceOnBoard(size, Placement::Fill);
    const QImage whole =
        picture.scaled(placed.size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QRect shown = QRect(placed.offset, placed.size).intersected(QRect(0, 0, 128, 32));
    const OnBoard expected{whole.copy(shown.translated(-placed.offset)), shown.topLeft(), {}};
    for (const DotsMethod method : {DotsMethod::Threshold, DotsMethod::Ordered}) {
      ConvertOptions options;
      options.placement = Placement::Fill;
      options.dots = method;
      options.level = 128;
      if (method != DotsMethod::Threshold) options.level.reset();
      const DotsResult cut = ConvertImage(picture, options);
      ASSERT_TRUE(cut.Ok()) << cut.error;
      const BoardDots whole = DotsOnBoard(expected, options);
      int differ = 0;
      for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 128; ++x) differ += cut.dots.IsLit(x, y) != whole.IsLit(x, y);
      }
      // Cut and whole sample the picture at points a fraction of a pixel
      // apart, so a few dots at the threshold may go either way.
      EXPECT_LE(differ, 4096 / 50)
          << size.width() << " x " << size.height() << " " << NameOf(method);
    }
  }
}

std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(WholeFilesTest, AllFilesOrNone) {
  testing_support::TempFolder folder;
  const fs::path a = folder.path() / "a.bmp";
  const fs::path b = folder.path() / "b.png";
  std::ofstream(a) << "old a";
  const auto files = [&](fs::path first, fs::path second) {
    return std::vector<FileToWrite>{{std::move(first), "new a"}, {std::move(second), "new b"}};
  };
  fs::create_directory(folder.path() / "folder");
  const std::string sameFile = "Pliki " + a.string() + " i " +
                               (folder.path() / "folder" / ".." / "a.bmp").string() +
                               " to ten sam plik; podaj dwa różne.";
  struct Refused {
    const char* what;
    std::vector<FileToWrite> files;
    std::string message;
  };
  const Refused refused[] = {
      {"a folder as a target", files(a, folder.path() / "folder"),
       "Nie zapisuję do " + (folder.path() / "folder").string() + ": to nie jest zwykły plik."},
      {"one file named twice", files(a, folder.path() / "folder" / ".." / "a.bmp"), sameFile},
      {"a target in no folder", files(a, folder.path() / "none" / "b.png"),
       "Nie mogę zapisać pliku " + (folder.path() / "none" / "b.png").string() + "."},
  };
  for (const Refused& r : refused) {
    EXPECT_EQ(WriteFilesWhole(r.files), r.message) << r.what;
    EXPECT_EQ(Contents(a), "old a") << r.what;
    EXPECT_EQ(Names(folder.path()), (std::vector<std::string>{"a.bmp", "folder"})) << r.what;
  }

  // The second cannot be put in place once the first is: the first goes
  // back to what it was, a new one is taken away again.
  const auto blockSecond = [&](std::size_t index) {
    if (index == 1) fs::create_directories(b / "inside");
  };
  for (const bool firstExisted : {true, false}) {
    if (!firstExisted) fs::remove(a);
    EXPECT_EQ(WriteFilesWhole(files(a, b), blockSecond),
              "Nie mogę zapisać pliku " + b.string() + ".");
    EXPECT_EQ(fs::exists(a), firstExisted);
    if (firstExisted) {
      EXPECT_EQ(Contents(a), "old a");
    }
    fs::remove_all(b);
    EXPECT_EQ(Names(folder.path()).size(), firstExisted ? 2U : 1U);
  }

  std::ofstream(a) << "old a";
  EXPECT_EQ(WriteFilesWhole(files(a, b)), "");
  EXPECT_EQ(Contents(a), "new a");
  EXPECT_EQ(Contents(b), "new b");
  EXPECT_EQ(Names(folder.path()), (std::vector<std::string>{"a.bmp", "b.png", "folder"}));
}

}  // namespace
}  // namespace tablica::picture
