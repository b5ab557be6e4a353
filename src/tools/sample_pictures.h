#pragma once

// Sample pictures for the demo and the guide, drawn by the project's own
// code: 128 x 32, one bit a pixel, colour 0 black and colour 1 white. The
// board lights the dots of colour 0, so black on white reads as lit dots on
// a dark board.

#include <string>
#include <vector>

#include "board/bitmap.h"

namespace tablica::tools {

// A blank picture's pixel grid: true = black (a lit dot).
class PixelGrid {
 public:
  PixelGrid(int width, int height) : width_(width), height_(height), black_(width * height) {}
  void Set(int x, int y, bool black = true);
  bool Get(int x, int y) const;
  int Width() const { return width_; }
  int Height() const { return height_; }
  // The grid as a 1-bit bitmap (colour 0 black, colour 1 white).
  Bitmap ToBitmap() const;

 private:
  int width_;
  int height_;
  std::vector<bool> black_;
};

// Draws `text` (UTF-8) with the built-in 5 x 11 dot font (letters used by the
// samples: most small letters, the Polish ones, some capitals and digits, space and a few marks;
// others show as a box); the cell's top-left at (x, y), 6 dots a letter.
// Returns the x after the last letter.
int DrawText(PixelGrid& grid, int x, int y, const std::string& text);
// Width in dots of `text` in the built-in font.
int TextWidth(const std::string& text);

Bitmap MakeTestPattern();
// Two centred lines of text.
Bitmap MakeTextPicture(const std::string& first, const std::string& second);

struct SamplePicture {
  std::string fileName;
  Bitmap bitmap;
};
std::vector<SamplePicture> SamplePictures();

}  // namespace tablica::tools
