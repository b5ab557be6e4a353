// The picture conversion's figures: a 12-megapixel JPEG (made here) turned
// into the board's dots, by tablica-convert and, side by side in the same
// run, by ImageMagick; a tall, thin picture placed to fill the board; and
// two lines of text drawn in GNU Unifont. Prints
// one table (Markdown) and nothing that passes or fails.
//
//   bench/run    builds in release mode and runs this after tablica_bench
//   tablica_picture_bench [--convert-tool=PATH] [--runs=N] [benchmark flags]

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "bench_support.h"
#include "picture/convert.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using tablica::testing_support::TempFolder;

fs::path gPhoto;  // the 12-megapixel JPEG, made once in main

void ConvertJpeg(benchmark::State& state) {
  tablica::picture::ConvertOptions options;
  options.dots = state.range(0) ? tablica::picture::DotsMethod::Diffusion
                                : tablica::picture::DotsMethod::Threshold;
  for (auto _ : state) {
    const auto result = tablica::picture::ConvertPictureFile(gPhoto, options);
    if (!result.Ok()) state.SkipWithError(result.error.c_str());
    benchmark::DoNotOptimize(result.dots);
  }
}
BENCHMARK(ConvertJpeg)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The same without decoding at the board's size: the whole picture read,
// then scaled (what a window that keeps the picture does once).
void LoadThenConvert(benchmark::State& state) {
  for (auto _ : state) {
    const auto picture = tablica::picture::LoadPicture(gPhoto);
    if (!picture.Ok()) state.SkipWithError(picture.error.c_str());
    const auto result = tablica::picture::ConvertImage(picture.image, {});
    benchmark::DoNotOptimize(result.dots);
  }
}
BENCHMARK(LoadThenConvert)->Unit(benchmark::kMillisecond);

// A black 1 x 250000 picture placed to fill the board: only the part the
// board shows is scaled.
void ThinPictureFill(benchmark::State& state) {
  QImage thin(1, 250000, QImage::Format_Mono);
  thin.fill(0);
  tablica::picture::ConvertOptions options;
  options.placement = tablica::picture::Placement::Fill;
  for (auto _ : state) {
    const auto result = tablica::picture::ConvertImage(thin, options);
    if (!result.Ok()) state.SkipWithError(result.error.c_str());
    benchmark::DoNotOptimize(result.dots);
  }
}
BENCHMARK(ThinPictureFill)->Unit(benchmark::kMillisecond);

void RenderTwoLines(benchmark::State& state) {
  tablica::picture::ConvertOptions options;
  options.text = {"Zażółć gęślą", "jaźń 12:45"};
  for (auto _ : state) {
    const auto result = tablica::picture::RenderText(options);
    if (!result.Ok()) state.SkipWithError(result.error.c_str());
    benchmark::DoNotOptimize(result.dots);
  }
}
BENCHMARK(RenderTwoLines)->Unit(benchmark::kMicrosecond);

// The board drawn as the virtual board draws it (the web page's board.png,
// MQTT's picture), half its dots lit, and the same encoded as PNG.
void DrawBoard(benchmark::State& state) {
  tablica::BoardDots dots;
  for (int y = 0; y < tablica::kBoardHeight; ++y) {
    for (int x = 0; x < tablica::kBoardWidth; ++x) dots.SetLit(x, y, (x + y) % 2 == 0);
  }
  for (auto _ : state) {
    if (state.range(0)) {
      benchmark::DoNotOptimize(tablica::picture::EncodePreviewPng(dots));
    } else {
      benchmark::DoNotOptimize(tablica::picture::DrawPreview(dots));
    }
  }
}
BENCHMARK(DrawBoard)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Median wall time of a command, runs alternating with the other command
// so that both meet the same machine.
struct SideBySide {
  std::optional<double> ours;
  std::optional<double> theirs;
};

std::optional<double> TimeOnce(const std::string& command) {
  const auto start = Clock::now();
  if (std::system((command + " >/dev/null 2>&1").c_str()) != 0) return std::nullopt;
  return std::chrono::duration<double>(Clock::now() - start).count();
}

SideBySide Compare(const std::string& ours, const std::string& theirs, int runs) {
  TimeOnce(ours);  // warms the file cache for both
  TimeOnce(theirs);
  std::vector<double> a, b;
  for (int i = 0; i < runs; ++i) {
    if (const auto t = TimeOnce(ours)) a.push_back(*t);
    if (const auto t = TimeOnce(theirs)) b.push_back(*t);
  }
  SideBySide result;
  if (!a.empty()) result.ours = tablica::bench::Median(a);
  if (!b.empty()) result.theirs = tablica::bench::Median(b);
  return result;
}

std::string Ms(std::optional<double> seconds) {
  if (!seconds) return "not measured";
  char text[32];
  std::snprintf(text, sizeof text, *seconds < 1e-2 ? "%.2f ms" : "%.0f ms", *seconds * 1e3);
  return text;
}

std::string Quoted(const fs::path& path) {
  return "'" + path.string() + "'";
}

}  // namespace

int main(int argc, char** argv) {
  std::string convertTool = TABLICA_CONVERT_TOOL;
  int runs = 5;
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--convert-tool=", 0) == 0) {
      convertTool = arg.substr(15);
    } else if (arg.rfind("--runs=", 0) == 0) {
      runs = std::max(1, std::atoi(arg.c_str() + 7));
    } else {
      rest.push_back(argv[i]);
    }
  }
  tablica::picture::PrepareHeadlessGui();
  QGuiApplication app(argc, argv);
  TempFolder folder;
  gPhoto = folder.path() / "photo.jpg";
  tablica::bench::WritePhoto(gPhoto);

  int restCount = static_cast<int>(rest.size());
  benchmark::Initialize(&restCount, rest.data());
  tablica::bench::RunCollector results;
  benchmark::RunSpecifiedBenchmarks(&results);

  const auto side =
      Compare(Quoted(convertTool) + " " + Quoted(gPhoto) + " " + Quoted(folder.path() / "ours.bmp"),
              "convert " + Quoted(gPhoto) + " -resize 128x32 -monochrome " +
                  Quoted(folder.path() / "theirs.bmp"),
              runs);
  const double megabytes = static_cast<double>(fs::file_size(gPhoto)) / 1e6;
  char photo[96];
  std::snprintf(photo, sizeof photo, "a 4000 × 3000 JPEG (%.1f MB)", megabytes);

  std::printf("| Measure | tablica-convert | ImageMagick `convert` | Ours / theirs |\n");
  std::printf("| --- | ---: | ---: | ---: |\n");
  std::string ratio;
  if (side.ours && side.theirs) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", *side.ours / *side.theirs);
    ratio = text;
  }
  std::printf("| Whole program, %s to a 1-bit BMP (median of %d) | %s | %s | %s |\n", photo, runs,
              Ms(side.ours).c_str(), Ms(side.theirs).c_str(), ratio.c_str());
  std::printf("| In the library: the same JPEG to dots, threshold auto | %s | | |\n",
              Ms(results.Seconds("ConvertJpeg/0")).c_str());
  std::printf("| In the library: the same JPEG to dots, diffusion | %s | | |\n",
              Ms(results.Seconds("ConvertJpeg/1")).c_str());
  std::printf("| In the library: the whole JPEG decoded, then scaled to dots | %s | | |\n",
              Ms(results.Seconds("LoadThenConvert")).c_str());
  std::printf("| In the library: a black 1 × 250000 picture placed to fill the board | %s | | |\n",
              Ms(results.Seconds("ThinPictureFill")).c_str());
  std::printf("| Two lines of text in GNU Unifont to dots | %s | | |\n",
              Ms(results.Seconds("RenderTwoLines")).c_str());
  std::printf(
      "| The board drawn as the virtual board draws it (board.png, MQTT's picture) | %s | | |\n",
      Ms(results.Seconds("DrawBoard/0")).c_str());
  std::printf("| The same, encoded as PNG | %s | | |\n",
              Ms(results.Seconds("DrawBoard/1")).c_str());
  benchmark::Shutdown();
  return 0;
}
