#pragma once

// Files a show test needs, made by the test: show JSON, PNG pictures (Qt's
// writer) and animated GIFs, written here byte by byte so that each frame's
// pixels and delay are exactly known.

#include <QBuffer>
#include <QImage>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tablica::show::testing {

inline void WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline std::string PngBytes(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toStdString();
}

// A frame of a GIF: one byte a pixel, 0 black and 1 white, row by row.
struct GifFrame {
  std::vector<std::uint8_t> pixels;
  int delayCentiseconds = 10;
};

// An animated GIF of `width` x `height` frames, black and white, looped.
// Its image data is stored without compression: 8-bit codes with a clear
// code often enough that the code size never grows.
inline std::string GifBytes(int width, int height, const std::vector<GifFrame>& frames) {
  std::string out = "GIF89a";
  const auto le16 = [&out](int v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
  };
  le16(width);
  le16(height);
  out += static_cast<char>(0xF6);  // a global table of 128 colours
  out += '\0';
  out += '\0';
  for (int i = 0; i < 128; ++i) out += std::string(3, i == 1 ? '\xFF' : '\0');
  out += "\x21\xFF\x0BNETSCAPE2.0\x03\x01";
  out += std::string("\0\0\0", 3);
  constexpr int kClear = 128, kEnd = 129, kLiteralsPerClear = 120;
  for (const GifFrame& frame : frames) {
    out += "\x21\xF9\x04\x04";  // graphic control: keep the frame, its delay
    le16(frame.delayCentiseconds);
    out += std::string("\0\0", 2);
    out += '\x2C';
    le16(0);
    le16(0);
    le16(width);
    le16(height);
    out += '\0';
    out += '\x07';  // 7-bit literals, 8-bit codes
    std::string codes(1, static_cast<char>(kClear));
    for (std::size_t i = 0; i < frame.pixels.size(); ++i) {
      if (i > 0 && i % kLiteralsPerClear == 0) codes += static_cast<char>(kClear);
      codes += static_cast<char>(frame.pixels[i]);
    }
    codes += static_cast<char>(kEnd);
    for (std::size_t at = 0; at < codes.size(); at += 255) {
      const std::string block = codes.substr(at, 255);
      out += static_cast<char>(block.size());
      out += block;
    }
    out += '\0';
  }
  out += '\x3B';
  return out;
}

// A frame with a black bar `bar` pixels wide from the left, the rest white.
inline GifFrame BarFrame(int width, int height, int bar, int delayCentiseconds) {
  GifFrame frame{std::vector<std::uint8_t>(static_cast<std::size_t>(width * height), 1),
                 delayCentiseconds};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < bar && x < width; ++x)
      frame.pixels[static_cast<std::size_t>(y * width + x)] = 0;
  }
  return frame;
}

}  // namespace tablica::show::testing
