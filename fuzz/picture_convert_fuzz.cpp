// Fuzzes the picture conversion with whole files of any format Qt's image
// reader knows. The first byte chooses the placement, the dots method and
// which side lights; the rest is the file. A file is either converted or
// refused with a message, never both or neither, and converting it again
// gives the same dots (nothing depends on memory left uninitialised).

#include <QGuiApplication>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "board/bitmap.h"
#include "picture/convert.h"

namespace {

constexpr std::int64_t kMostPixels = 1 << 16;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "picture conversion: %s\n", what);
  std::abort();
}

tablica::picture::ConvertOptions OptionsFrom(std::uint8_t choice) {
  using namespace tablica::picture;
  ConvertOptions options;
  options.placement = static_cast<Placement>(choice & 3);
  switch ((choice >> 2) & 3) {
    case 0:
      break;  // threshold, automatic level
    case 1:
      options.level = choice;
      break;
    case 2:
      options.dots = DotsMethod::Diffusion;
      break;
    default:
      options.dots = DotsMethod::Ordered;
  }
  options.lit = (choice & 0x10) ? LitSide::Bright : LitSide::Dark;
  return options;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  tablica::picture::PrepareHeadlessGui();
  // Lives as long as the process: every input is read through its plug-ins.
  new QGuiApplication(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const auto options = OptionsFrom(data[0]);
  const std::span<const std::uint8_t> file(data + 1, size - 1);
  // A few bytes of run-length BMP may rightly declare millions of pixels,
  // and decoding them takes the time of thousands of small inputs: BMPs
  // over 65536 pixels are left out, to keep the fuzzer quick (the tests
  // try the large ones).
  if (const auto bmp = tablica::ReadBitmapHeader(file);
      bmp && bmp->width * bmp->height > kMostPixels) {
    return 0;
  }
  const auto first = tablica::picture::ConvertPictureData(file, "fuzz", options);
  if (first.Ok() == !first.error.empty()) Fail("neither converted nor refused, or both");
  const auto again = tablica::picture::ConvertPictureData(file, "fuzz", options);
  if (again.error != first.error || !(again.dots == first.dots)) Fail("a second run differs");
  if (first.Ok() && tablica::picture::EncodeDotsBmp(first.dots).size() != 62 + 512) {
    Fail("the board's bitmap has the wrong size");
  }
  return 0;
}
