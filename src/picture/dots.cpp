#include "picture/dots.h"

#include <QPainter>
#include <QRect>
#include <array>
#include <cstdint>

namespace tablica::picture {

namespace {

// The 8 x 8 Bayer matrix: each of 64 levels once, neighbours far apart.
constexpr std::array<std::array<int, 8>, 8> kBayer{{
    {0, 32, 8, 40, 2, 34, 10, 42},
    {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},
    {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},
    {63, 31, 55, 23, 61, 29, 53, 21},
}};

// Otsu's level: the split of the histogram with the largest variance
// between its two classes; brightness >= level is the bright class. A
// picture of one brightness has no split and gets the middle level.
int OtsuLevel(const std::array<std::int64_t, 256>& histogram) {
  double total = 0;
  double sum = 0;
  for (int v = 0; v < 256; ++v) {
    total += static_cast<double>(histogram[v]);
    sum += static_cast<double>(v) * static_cast<double>(histogram[v]);
  }
  double weightBelow = 0;
  double sumBelow = 0;
  double best = 0;
  int level = 128;
  for (int t = 0; t < 255; ++t) {
    weightBelow += static_cast<double>(histogram[t]);
    sumBelow += t * static_cast<double>(histogram[t]);
    const double weightAbove = total - weightBelow;
    if (weightBelow == 0 || weightAbove == 0) continue;
    const double difference = sumBelow / weightBelow - (sum - sumBelow) / weightAbove;
    const double between = weightBelow * weightAbove * difference * difference;
    if (between > best) {
      best = between;
      level = t + 1;
    }
  }
  return level;
}

// Lit dots of the grey board where the picture is (`area`); the rest of
// the board is background and stays unlit.
BoardDots DotsFromGrey(const QImage& grey, const QRect& area, const ConvertOptions& options) {
  BoardDots dots;
  const bool bright = options.lit == LitSide::Bright;
  const auto value = [&](int x, int y) { return static_cast<int>(grey.constScanLine(y)[x]); };
  switch (options.dots) {
    case DotsMethod::Threshold: {
      int level = 128;
      if (options.level) {
        level = *options.level;
      } else {
        std::array<std::int64_t, 256> histogram{};
        for (int y = area.top(); y <= area.bottom(); ++y) {
          for (int x = area.left(); x <= area.right(); ++x) ++histogram[value(x, y)];
        }
        level = OtsuLevel(histogram);
      }
      for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
          dots.SetLit(x, y, bright ? value(x, y) >= level : value(x, y) < level);
        }
      }
      break;
    }
    case DotsMethod::Ordered:
      // Levels 2, 6 ... 254: black always lights (lit dark), white never.
      for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
          const int level = 4 * kBayer[y % 8][x % 8] + 2;
          const int darkness = bright ? value(x, y) : 255 - value(x, y);
          dots.SetLit(x, y, darkness >= 256 - level);
        }
      }
      break;
    case DotsMethod::Diffusion: {
      // Qt's Floyd-Steinberg dither, on the picture's own area only, so no
      // error leaks into the unlit margins. It makes black the dark side.
      QImage part = grey.copy(area);
      if (bright) part.invertPixels();
      const QImage mono = part.convertToFormat(QImage::Format_Mono,
                                               Qt::MonoOnly | Qt::DiffuseDither | Qt::PreferDither);
      for (int y = 0; y < mono.height(); ++y) {
        for (int x = 0; x < mono.width(); ++x) {
          dots.SetLit(area.left() + x, area.top() + y, qGray(mono.pixel(x, y)) < 128);
        }
      }
      break;
    }
  }
  return dots;
}

}  // namespace

BoardDots DotsOnBoard(const OnBoard& placed, const ConvertOptions& options) {
  // Transparency shows the unlit background.
  QImage board(kBoardWidth, kBoardHeight, QImage::Format_RGB32);
  board.fill(options.lit == LitSide::Dark ? Qt::white : Qt::black);
  {
    QPainter painter(&board);
    painter.drawImage(placed.corner, placed.picture);
  }
  const QRect area = QRect(placed.corner, placed.picture.size())
                         .intersected(QRect(0, 0, options.width, options.height));
  if (area.isEmpty()) return {};
  return DotsFromGrey(board.convertToFormat(QImage::Format_Grayscale8), area, options);
}

}  // namespace tablica::picture
