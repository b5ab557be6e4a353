#include "tools/sample_pictures.h"

#include <array>
#include <cstdint>
#include <map>
#include <string_view>

namespace tablica::tools {

namespace {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 11;  // 2 rows of accents, 7 of letter, 2 below
constexpr int kAdvance = kGlyphWidth + 1;

using Glyph = std::array<std::string_view, kGlyphHeight>;

// Rows 0-1: accents; rows 2-8: the letter, baseline on row 8; rows 9-10:
// descenders and ogoneks. Lower-case letters start on row 4.
const std::map<char32_t, Glyph>& Font() {
  // clang-format off
  static const std::map<char32_t, Glyph> font = {
      {U' ', {".....", ".....", ".....", ".....", ".....", ".....", ".....", ".....", ".....", ".....", "....."}},
      {U'.', {".....", ".....", ".....", ".....", ".....", ".....", ".....", ".##..", ".##..", ".....", "....."}},
      {U'-', {".....", ".....", ".....", ".....", ".....", "####.", ".....", ".....", ".....", ".....", "....."}},
      {U':', {".....", ".....", ".....", ".##..", ".##..", ".....", ".##..", ".##..", ".....", ".....", "....."}},
      {U'0', {".....", ".....", ".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###.", ".....", "....."}},
      {U'1', {".....", ".....", "..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###.", ".....", "....."}},
      {U'2', {".....", ".....", ".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####", ".....", "....."}},
      {U'3', {".....", ".....", "#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###.", ".....", "....."}},
      {U'8', {".....", ".....", ".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###.", ".....", "....."}},
      {U'x', {".....", ".....", ".....", ".....", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", ".....", "....."}},
      {U'T', {".....", ".....", "#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#..", ".....", "....."}},
      {U'Z', {".....", ".....", "#####", "....#", "...#.", "..#..", ".#...", "#....", "#####", ".....", "....."}},
      {U'a', {".....", ".....", ".....", ".....", ".###.", "....#", ".####", "#...#", ".####", ".....", "....."}},
      {U'ą', {".....", ".....", ".....", ".....", ".###.", "....#", ".####", "#...#", ".####", "...#.", "...##"}},
      {U'b', {".....", ".....", "#....", "#....", "#.##.", "##..#", "#...#", "#...#", "####.", ".....", "....."}},
      {U'c', {".....", ".....", ".....", ".....", ".####", "#....", "#....", "#....", ".####", ".....", "....."}},
      {U'ć', {".....", "...#.", "..#..", ".....", ".####", "#....", "#....", "#....", ".####", ".....", "....."}},
      {U'e', {".....", ".....", ".....", ".....", ".###.", "#...#", "#####", "#....", ".###.", ".....", "....."}},
      {U'ę', {".....", ".....", ".....", ".....", ".###.", "#...#", "#####", "#....", ".###.", "..#..", "..##."}},
      {U'f', {".....", ".....", "..##.", ".#..#", ".#...", "###..", ".#...", ".#...", ".#...", ".....", "....."}},
      {U'g', {".....", ".....", ".....", ".....", ".####", "#...#", "#...#", "#...#", ".####", "....#", ".###."}},
      {U'i', {".....", ".....", "..#..", ".....", ".##..", "..#..", "..#..", "..#..", ".###.", ".....", "....."}},
      {U'j', {".....", ".....", "...#.", ".....", "..##.", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."}},
      {U'l', {".....", ".....", ".##..", "..#..", "..#..", "..#..", "..#..", "..#..", ".###.", ".....", "....."}},
      {U'ł', {".....", ".....", ".##..", "..#..", "..#..", "..##.", ".##..", "..#..", ".###.", ".....", "....."}},
      {U'm', {".....", ".....", ".....", ".....", "##.#.", "#.#.#", "#.#.#", "#...#", "#...#", ".....", "....."}},
      {U'n', {".....", ".....", ".....", ".....", "#.##.", "##..#", "#...#", "#...#", "#...#", ".....", "....."}},
      {U'ń', {".....", "...#.", "..#..", ".....", "#.##.", "##..#", "#...#", "#...#", "#...#", ".....", "....."}},
      {U'o', {".....", ".....", ".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###.", ".....", "....."}},
      {U'ó', {".....", "...#.", "..#..", ".....", ".###.", "#...#", "#...#", "#...#", ".###.", ".....", "....."}},
      {U'r', {".....", ".....", ".....", ".....", "#.##.", "##..#", "#....", "#....", "#....", ".....", "....."}},
      {U's', {".....", ".....", ".....", ".....", ".####", "#....", ".###.", "....#", "####.", ".....", "....."}},
      {U'ś', {".....", "...#.", "..#..", ".....", ".####", "#....", ".###.", "....#", "####.", ".....", "....."}},
      {U't', {".....", ".....", ".#...", ".#...", "####.", ".#...", ".#...", ".#..#", "..##.", ".....", "....."}},
      {U'y', {".....", ".....", ".....", ".....", "#...#", "#...#", "#...#", "#...#", ".####", "....#", ".###."}},
      {U'z', {".....", ".....", ".....", ".....", "#####", "...#.", "..#..", ".#...", "#####", ".....", "....."}},
      {U'ż', {".....", ".....", "..#..", ".....", "#####", "...#.", "..#..", ".#...", "#####", ".....", "....."}},
      {U'ź', {".....", "...#.", "..#..", ".....", "#####", "...#.", "..#..", ".#...", "#####", ".....", "....."}},
      {U'A', {".....", ".....", ".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#", ".....", "....."}},
      {U'C', {".....", ".....", ".###.", "#...#", "#....", "#....", "#....", "#...#", ".###.", ".....", "....."}},
      {U'N', {".....", ".....", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#", ".....", "....."}},
      {U'O', {".....", ".....", ".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###.", ".....", "....."}},
      {U'P', {".....", ".....", "####.", "#...#", "#...#", "####.", "#....", "#....", "#....", ".....", "....."}},
      {U'S', {".....", ".....", ".####", "#....", "#....", ".###.", "....#", "....#", "####.", ".....", "....."}},
      {U'd', {".....", ".....", "....#", "....#", ".##.#", "#..##", "#...#", "#...#", ".####", ".....", "....."}},
      {U'h', {".....", ".....", "#....", "#....", "#.##.", "##..#", "#...#", "#...#", "#...#", ".....", "....."}},
      {U'k', {".....", ".....", "#....", "#....", "#..#.", "#.#..", "##...", "#.#..", "#..#.", ".....", "....."}},
      {U'p', {".....", ".....", ".....", ".....", "####.", "#...#", "#...#", "#...#", "####.", "#....", "#...."}},
      {U'u', {".....", ".....", ".....", ".....", "#...#", "#...#", "#...#", "#..##", ".##.#", ".....", "....."}},
      {U'w', {".....", ".....", ".....", ".....", "#...#", "#...#", "#.#.#", "#.#.#", ".#.#.", ".....", "....."}},
  };
  // clang-format on
  return font;
}

const Glyph kUnknown = {".....", ".....", "#####", "#...#", "#...#", "#...#",
                        "#...#", "#...#", "#####", ".....", "....."};

// Code points of a UTF-8 string; a malformed byte stands for itself.
std::u32string Decode(const std::string& text) {
  std::u32string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    if (i + static_cast<std::size_t>(extra) >= text.size()) extra = 0;  // cut short
    char32_t cp = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    out.push_back(cp);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

}  // namespace

void PixelGrid::Set(int x, int y, bool black) {
  if (x >= 0 && x < width_ && y >= 0 && y < height_)
    black_[static_cast<std::size_t>(y * width_ + x)] = black;
}

bool PixelGrid::Get(int x, int y) const {
  return x >= 0 && x < width_ && y >= 0 && y < height_ &&
         black_[static_cast<std::size_t>(y * width_ + x)];
}

Bitmap PixelGrid::ToBitmap() const {
  const std::size_t stride = StoredRowStride(width_, 1);
  // Everything white (colour 1) first, then the black pixels cleared.
  std::vector<std::uint8_t> rows(stride * static_cast<std::size_t>(height_), 0xFF);
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      if (Get(x, y)) {
        rows[static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x / 8)] &=
            static_cast<std::uint8_t>(~(0x80 >> (x % 8)));
      }
    }
  }
  return Bitmap::FromRows(width_, height_, 1, std::move(rows), {0x000000, 0xFFFFFF});
}

int TextWidth(const std::string& text) {
  const auto count = static_cast<int>(Decode(text).size());
  return count == 0 ? 0 : count * kAdvance - 1;
}

int DrawText(PixelGrid& grid, int x, int y, const std::string& text) {
  for (char32_t cp : Decode(text)) {
    const auto it = Font().find(cp);
    const Glyph& glyph = it == Font().end() ? kUnknown : it->second;
    for (int row = 0; row < kGlyphHeight; ++row) {
      for (int col = 0; col < kGlyphWidth; ++col) {
        if (glyph[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] == '#') {
          grid.Set(x + col, y + row);
        }
      }
    }
    x += kAdvance;
  }
  return x;
}

Bitmap MakeTestPattern() {
  PixelGrid grid(128, 32);
  for (int x = 0; x < 128; ++x) {
    grid.Set(x, 0);
    grid.Set(x, 31);
  }
  for (int y = 0; y < 32; ++y) {
    grid.Set(0, y);
    grid.Set(127, y);
  }
  // A checkerboard of 4-dot squares on the left: any swapped or shifted
  // byte shows as a broken square.
  for (int y = 2; y < 30; ++y) {
    for (int x = 2; x < 30; ++x) grid.Set(x, y, ((x - 2) / 4 + (y - 2) / 4) % 2 == 0);
  }
  // Both diagonals of the middle square.
  for (int i = 0; i < 28; ++i) {
    grid.Set(34 + i, 2 + i);
    grid.Set(61 - i, 2 + i);
  }
  // Single dots in each corner of the inner area, and a label.
  grid.Set(2, 2);
  grid.Set(125, 2);
  grid.Set(2, 29);
  grid.Set(125, 29);
  DrawText(grid, 68, 3, "128x32");
  // Stripes one, two and three dots wide: bit order within a byte.
  for (int y = 18; y < 29; ++y) {
    for (int x = 66; x < 124; ++x) {
      const int band = (x - 66) / 20;
      if ((x - 66) % ((band + 1) * 2) < band + 1) grid.Set(x, y);
    }
  }
  return grid.ToBitmap();
}

Bitmap MakeTextPicture(const std::string& first, const std::string& second) {
  PixelGrid grid(128, 32);
  DrawText(grid, (128 - TextWidth(first)) / 2, 2, first);
  DrawText(grid, (128 - TextWidth(second)) / 2, 17, second);
  return grid.ToBitmap();
}

std::vector<SamplePicture> SamplePictures() {
  return {
      {"wzor-testowy.bmp", MakeTestPattern()},
      {"zazolc.bmp", MakeTextPicture("Zażółć gęślą jaźń", "Tablica informacyjna")},
      {"tablica-2.bmp", MakeTextPicture("Tablica 2", "przez CAN")},
  };
}

}  // namespace tablica::tools
