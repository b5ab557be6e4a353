// Run-length compressed BMP pixels (4 and 8 bits a pixel), expanded for
// pictures that are converted rather than sent as they are.

#include <algorithm>

#include "board/bitmap_layout.h"

namespace tablica::dib {

namespace {

// Writes pixels into the expanded rows, bottom row first as the file runs,
// dropping whatever falls outside the picture.
class RowWriter {
 public:
  RowWriter(std::vector<std::uint8_t>& rows, std::int64_t width, std::int64_t height)
      : rows_(rows),
        width_(width),
        height_(height),
        stride_(StoredRowStride(static_cast<int>(width), 8)) {}

  void Put(std::uint8_t index) {
    if (x_ < width_ && y_ < height_) {
      rows_[static_cast<std::size_t>(height_ - 1 - y_) * stride_ + static_cast<std::size_t>(x_)] =
          index;
    }
    ++x_;
  }
  void EndOfLine() { x_ = 0, ++y_; }
  void Move(std::uint8_t right, std::uint8_t up) { x_ += right, y_ += up; }
  void End() { y_ = height_; }
  bool Done() const { return y_ >= height_; }
  // The data may stop once the last row is full, even without an end mark.
  bool Whole() const { return Done() || (y_ == height_ - 1 && x_ >= width_); }

 private:
  std::vector<std::uint8_t>& rows_;
  std::int64_t width_;
  std::int64_t height_;
  std::size_t stride_;
  std::int64_t x_ = 0;
  std::int64_t y_ = 0;  // counted from the bottom row
};

}  // namespace

std::string ExpandRunLength(Bytes file, const DibLayout& layout, std::vector<std::uint8_t>& rows) {
  const Bytes data = file.subspan(static_cast<std::size_t>(layout.pixelOffset));
  const bool nibbles = layout.compression == kBiRle4;
  // Pixel k of a run or of literal bytes starting at `at`.
  const auto pixel = [&](std::size_t at, std::uint32_t k) -> std::uint8_t {
    if (!nibbles) return data[at + k];
    const std::uint8_t pair = data[at + k / 2];
    return k % 2 == 0 ? pair >> 4 : pair & 0x0F;
  };
  rows.assign(
      StoredRowStride(static_cast<int>(layout.width), 8) * static_cast<std::size_t>(layout.height),
      0);
  RowWriter out(rows, layout.width, layout.height);
  std::size_t at = 0;
  while (!out.Done() && at + 2 <= data.size()) {
    const std::uint8_t count = data[at];
    const std::uint8_t code = data[at + 1];
    at += 2;
    if (count > 0) {  // `count` pixels from the value in `code`
      for (std::uint32_t k = 0; k < count; ++k) {
        out.Put(nibbles ? (k % 2 == 0 ? code >> 4 : code & 0x0F) : code);
      }
      continue;
    }
    switch (code) {
      case 0:
        out.EndOfLine();
        break;
      case 1:
        out.End();
        break;
      case 2:
        if (at + 2 > data.size()) return "run-length data cut short";
        out.Move(data[at], data[at + 1]);
        at += 2;
        break;
      default: {  // `code` pixels stored as they are, padded to whole 16-bit words
        const std::size_t bytes = nibbles ? (code + 1u) / 2 : code;
        if (at + bytes > data.size()) return "run-length data cut short";
        for (std::uint32_t k = 0; k < code; ++k) out.Put(pixel(at, k));
        at += bytes + bytes % 2;
      }
    }
  }
  return out.Whole() ? std::string{} : "run-length data cut short";
}

}  // namespace tablica::dib
