// Fuzzes the Windows bitmap reader with whole files, read for the board and
// read for a picture (run-length data expanded). A file it accepts must
// describe a picture whose every stored row lies inside what was read, must
// survive the board's packing when the board can take it, and must come back
// unchanged from writing it out and reading it again.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "board/bitmap.h"
#include "board/board_frame.h"

namespace {

constexpr std::int64_t kMostPixels = 1 << 16;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "bitmap reader: %s\n", what);
  std::abort();
}

// Touches every stored byte, so the sanitizer sees a row that is too short.
unsigned SumOfRows(const tablica::Bitmap& bitmap) {
  unsigned sum = 0;
  for (int r = 0; r < bitmap.Height(); ++r) {
    const std::uint8_t* row = bitmap.Row(r);
    for (std::size_t k = 0; k < bitmap.RowStride(); ++k) sum += row[k];
  }
  return sum;
}

bool SameRows(const tablica::Bitmap& a, const tablica::Bitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height() || a.BitsPerPixel() != b.BitsPerPixel() ||
      a.RowStride() != b.RowStride()) {
    return false;
  }
  for (int r = 0; r < a.Height(); ++r) {
    for (std::size_t k = 0; k < a.RowStride(); ++k) {
      if (a.Row(r)[k] != b.Row(r)[k]) return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const tablica::BitmapLoadResult loaded = tablica::ReadBitmap(std::span(data, size));
  // Read for a picture, a file may expand run-length data; what the board
  // takes reads the same either way. A few bytes of run-length data may
  // rightly declare millions of pixels: files over 65536 pixels are read
  // for the board only, to keep the fuzzer quick.
  const auto header = tablica::ReadBitmapHeader(std::span(data, size));
  if (header && header->width * header->height <= kMostPixels) {
    const auto picture = tablica::ReadBitmap(std::span(data, size), tablica::BitmapUse::Picture);
    if (picture.Ok()) {
      volatile unsigned sink = SumOfRows(picture.bitmap);
      (void)sink;
    } else if (!picture.bitmap.IsEmpty()) {
      Fail("a refused picture left rows behind");
    }
    if (loaded.Ok() && (!picture.Ok() || !SameRows(loaded.bitmap, picture.bitmap))) {
      Fail("read for a picture, a board's file differs");
    }
  }
  if (!loaded.Ok()) {
    if (!loaded.bitmap.IsEmpty()) Fail("a refused file left a picture behind");
    return 0;
  }
  const tablica::Bitmap& bitmap = loaded.bitmap;
  if (bitmap.Width() <= 0 || bitmap.Height() <= 0) Fail("accepted a picture with no dots");
  if (bitmap.RowStride() != tablica::StoredRowStride(bitmap.Width(), bitmap.BitsPerPixel())) {
    Fail("row stride differs from the stored-row rule");
  }
  if (bitmap.RowStride() * static_cast<std::size_t>(bitmap.Height()) > size) {
    Fail("more pixel bytes than the file holds");
  }
  volatile unsigned sink = SumOfRows(bitmap);
  (void)sink;

  if (tablica::CheckPicture(bitmap) == tablica::PictureCheck::Fits) {
    tablica::BoardFrame frame;
    tablica::BuildBoardFrame(frame, bitmap, true);
    if (frame.bytes[0] != tablica::kStartByte) Fail("frame without its start byte");
  }

  const auto again = tablica::ReadBitmap(tablica::EncodeBitmap(bitmap));
  if (!again.Ok()) Fail("a written picture cannot be read back");
  if (!SameRows(bitmap, again.bitmap)) Fail("a written picture reads back different");
  return 0;
}
