// Writes the small seed inputs of every fuzz target into fuzz/seeds/<target>/:
//   build-fuzz/bin/make_seeds fuzz/seeds
// The seeds are kept in the repository; the fuzzer's growing corpus is not.

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "board/bitmap.h"

namespace {

namespace fs = std::filesystem;

void WriteSeed(const fs::path& folder, const std::string& name, const std::string& bytes) {
  fs::create_directories(folder);
  std::ofstream(folder / name, std::ios::binary) << bytes;
}

// Settings files: the usual nine-line layout and the shapes around it.
void SettingsSeeds(const fs::path& folder) {
  WriteSeed(folder, "layout",
            "PORT 7\r\nMODEL\r\nfield1\r\nfield2\r\nfield3\r\nfield4\r\nfield5\r\nfield6\r\n"
            "field7\r\n");
  WriteSeed(folder, "lf-only", "PORT\n\n\t 12\nMODEL\n");
  WriteSeed(folder, "signs", "PORT -1 +7 -");
  WriteSeed(folder, "long-label", "ABCDEFGHIJ12 9");
  WriteSeed(folder, "long-number", "PORT 123456789012345678901234567890");
  WriteSeed(folder, "utf16",
            std::string("P\0O\0R\0T\0 \0"
                        "5\0",
                        12));
  WriteSeed(folder, "high-bytes", "\xB3\xF3\xBF\xEA\xB1 4\r\n");
  WriteSeed(folder, "cut-at-200", std::string(196, ' ') + "P 12345");
}

// A board frame for a picture of pseudo-random dots (the first byte of the
// result is the parser target's piece selector).
std::string Frame(std::uint8_t header, unsigned seed) {
  std::string frame = {'\xAA', '\x01', '\x00', static_cast<char>(header)};
  std::uint8_t check = 0x01 ^ header;
  for (int i = 0; i < 512; ++i) {
    seed = seed * 1103515245u + 12345u;
    const auto dot = static_cast<std::uint8_t>(seed >> 16);
    frame.push_back(static_cast<char>(dot));
    check ^= dot;
  }
  frame.push_back(static_cast<char>(check));
  return frame;
}

// The block behind a frame with header 2: its dots and checksum.
std::string Block(unsigned seed) {
  return Frame(2, seed).substr(4);
}

// Streams as the virtual board reads them; the first byte decides how the
// stream is cut into reads.
void ParserSeeds(const fs::path& folder) {
  WriteSeed(folder, "frame", "\x01" + Frame(0, 1));
  WriteSeed(folder, "frame-and-block", "\x02" + Frame(2, 2) + Block(3));
  std::string bad = Frame(0, 4);
  bad.back() = static_cast<char>(bad.back() ^ 0x40);
  WriteSeed(folder, "bad-checksum", "\x03" + bad);
  WriteSeed(folder, "noise-then-frame", "\x04xyz\xAA\xAA\x01" + Frame(0, 5));
  WriteSeed(folder, "cut-frame-then-frame", "\x05" + Frame(2, 6).substr(0, 300) + Frame(0, 7));
  WriteSeed(folder, "frame-without-block", "\x06" + Frame(2, 8) + Frame(0, 9));
}

std::string AsString(const std::vector<std::uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// A picture of pseudo-random stored bytes (rows padded to whole words).
tablica::Bitmap Picture(int width, int height, int bits, unsigned seed,
                        std::vector<std::uint32_t> palette = {}) {
  const std::size_t stride = tablica::StoredRowStride(width, bits);
  std::vector<std::uint8_t> rows(stride * static_cast<std::size_t>(height));
  for (auto& b : rows) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(seed >> 16);
  }
  return tablica::Bitmap::FromRows(width, height, bits, std::move(rows), std::move(palette));
}

// An 8 x 4 file of 4 or 8 bits a pixel whose pixels are run-length data:
// runs, literal pixels, a jump, ends of line and the end mark.
std::string RunLengthFile(int bits) {
  std::string file = AsString(tablica::EncodeBitmap(Picture(8, 4, bits, 7)));
  file.resize(file.size() - tablica::StoredRowStride(8, bits) * 4);
  const std::string runs = bits == 8 ? std::string(
                                           "\x08\x05\x00\x00\x00\x03\x01\x02\x03\x00"
                                           "\x02\x09\x00\x02\x01\x01\x03\x07\x00\x01",
                                           20)
                                     : std::string(
                                           "\x08\x12\x00\x00\x00\x03\x34\x50"
                                           "\x00\x02\x01\x01\x03\x67\x00\x01",
                                           16);
  file += runs;
  const auto put32 = [&file](std::size_t at, std::uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i) file[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  put32(2, static_cast<std::uint32_t>(file.size()));
  put32(30, bits == 8 ? 1 : 2);
  put32(34, static_cast<std::uint32_t>(runs.size()));
  return file;
}

// Bitmap files: the board's own 128 x 32 one-bit picture, stored both ways
// up, and the other sizes and depths the reader meets.
void BitmapSeeds(const fs::path& folder) {
  const std::vector<std::uint32_t> mono = {0x000000, 0xFFFFFF};
  const std::string board = AsString(tablica::EncodeBitmap(Picture(128, 32, 1, 1, mono)));
  WriteSeed(folder, "board-128x32", board);

  // The same picture top-down: negative height, rows in reading order.
  std::string topDown = board.substr(0, 62);
  const int height = -32;
  for (int i = 0; i < 4; ++i) topDown[22 + i] = static_cast<char>((height >> (8 * i)) & 0xFF);
  for (int r = 31; r >= 0; --r) topDown += board.substr(62 + static_cast<std::size_t>(r) * 16, 16);
  WriteSeed(folder, "board-top-down", topDown);

  WriteSeed(folder, "wide-130x32", AsString(tablica::EncodeBitmap(Picture(130, 32, 1, 2, mono))));
  WriteSeed(folder, "narrow-8x4", AsString(tablica::EncodeBitmap(Picture(8, 4, 1, 3, mono))));
  std::vector<std::uint32_t> sixteen(16);
  for (std::size_t i = 0; i < 16; ++i) sixteen[i] = static_cast<std::uint32_t>(i * 0x111111);
  WriteSeed(folder, "4bit-16x8", AsString(tablica::EncodeBitmap(Picture(16, 8, 4, 4, sixteen))));
  WriteSeed(folder, "24bit-5x3", AsString(tablica::EncodeBitmap(Picture(5, 3, 24, 5))));
  WriteSeed(folder, "truncated", board.substr(0, 300));
  WriteSeed(folder, "rle8-8x4", RunLengthFile(8));
  WriteSeed(folder, "rle4-8x4", RunLengthFile(4));
}

std::string Encoded(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return bytes.toStdString();
}

// A black GIF (Qt writes none): a logical screen, one frame, its pixels
// coded with a clear code before each so that every code is 3 bits.
std::string Gif(int screenW, int screenH, int frameW, int frameH) {
  std::string out = "GIF89a";
  const auto le16 = [&out](int v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
  };
  le16(screenW);
  le16(screenH);
  out += std::string("\x80\0\0\0\0\0\xFF\xFF\xFF\x2C", 10);
  le16(0);
  le16(0);
  le16(frameW);
  le16(frameH);
  out += std::string("\0\x02", 2);
  std::string codes;
  unsigned bits = 0;
  int count = 0;
  const auto put = [&](unsigned code) {
    bits |= code << count;
    for (count += 3; count >= 8; count -= 8, bits >>= 8) codes.push_back(static_cast<char>(bits));
  };
  for (int i = 0; i < frameW * frameH; ++i) put(4), put(0);
  put(5);
  if (count > 0) codes.push_back(static_cast<char>(bits));
  for (std::size_t at = 0; at < codes.size(); at += 255) {
    const std::string block = codes.substr(at, 255);
    out += static_cast<char>(block.size()) + block;
  }
  return out + std::string("\0\x3B", 2);
}

// Pictures in the formats people have, each behind the byte that picks the
// conversion's options: small photos-like gradients with a shape, a
// transparent one, a damaged one.
void PictureSeeds(const fs::path& folder) {
  QImage photo(48, 20, QImage::Format_RGB32);
  for (int y = 0; y < photo.height(); ++y) {
    for (int x = 0; x < photo.width(); ++x) photo.setPixel(x, y, qRgb(5 * x, 12 * y, 255 - 5 * x));
  }
  {
    QPainter painter(&photo);
    painter.setBrush(Qt::black);
    painter.drawEllipse(10, 3, 14, 14);
  }
  QImage clear(16, 16, QImage::Format_ARGB32);
  clear.fill(Qt::transparent);
  for (int i = 0; i < 16; ++i) clear.setPixel(i, i, qRgba(0, 0, 0, 255));
  WriteSeed(folder, "png-fit-auto", std::string(1, '\0') + Encoded(photo, "PNG"));
  WriteSeed(folder, "jpeg-fill-diffusion", "\x09" + Encoded(photo, "JPEG"));
  WriteSeed(folder, "bmp-stretch-ordered", "\x0E" + Encoded(photo, "BMP"));
  WriteSeed(folder, "ppm-none-level", std::string("\x17") + Encoded(photo, "PPM"));
  WriteSeed(folder, "png-alpha-bright", "\x10" + Encoded(clear, "PNG"));
  WriteSeed(folder, "board-bmp",
            std::string(1, '\0') + Encoded(photo.convertToFormat(QImage::Format_Mono), "BMP"));
  const std::string jpeg = Encoded(photo, "JPEG");
  WriteSeed(folder, "jpeg-cut", "\x01" + jpeg.substr(0, jpeg.size() / 2));
  // A tall, thin black picture placed to fill the board: scaled whole it
  // would take gigabytes.
  QImage thin(1, 250000, QImage::Format_Mono);
  thin.fill(0);
  WriteSeed(folder, "png-thin-fill", "\x01" + Encoded(thin, "PNG"));
  WriteSeed(folder, "gif-cut", "\x02" + Gif(10, 10, 10, 10).substr(0, 40));
  WriteSeed(folder, "gif-large-screen", std::string(1, '\0') + Gif(10000, 10000, 2, 2));
  WriteSeed(folder, "bmp-rle8-stretch", "\x02" + RunLengthFile(8));
  WriteSeed(folder, "bmp-rle4-fit", std::string(1, '\0') + RunLengthFile(4));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s SEEDS_FOLDER\n", argv[0]);
    return 2;
  }
  const fs::path root = argv[1];
  SettingsSeeds(root / "settings_scan");
  ParserSeeds(root / "frame_parser");
  BitmapSeeds(root / "bitmap_reader");
  qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
  QGuiApplication app(argc, argv);
  PictureSeeds(root / "picture_convert");
  return 0;
}
