#include "show/show_preview.h"

#include <QBuffer>
#include <QPainter>
#include <cstdio>
#include <optional>
#include <system_error>

#include "picture/convert.h"
#include "picture/whole_files.h"
#include "show/board_output.h"
#include "show/show_player.h"

namespace tablica::show {

namespace {

constexpr std::uint32_t kPreviewBaud = 38400;
constexpr int kBoardGap = 12;  // pixels between the boards, as the virtual board's window has them

std::string FrameName(int number) {
  char name[32];
  std::snprintf(name, sizeof name, "klatka-%05d.png", number);
  return name;
}

// The first board, and beside it the second as it shows now (what its last
// block brought) when the show uses it.
QImage DrawFrame(const BoardDots& firstDots, const std::optional<BoardDots>& secondDots) {
  const QImage first = picture::DrawPreview(firstDots);
  if (!secondDots) return first;
  const QImage second = picture::DrawPreview(*secondDots);
  QImage both(first.width() + kBoardGap + second.width(), first.height(), QImage::Format_RGB32);
  both.fill(Qt::black);
  QPainter painter(&both);
  painter.drawImage(0, 0, first);
  painter.drawImage(first.width() + kBoardGap, 0, second);
  return both;
}

std::string Save(const std::filesystem::path& path, const QByteArray& bytes) {
  const picture::FileToWrite file{path, bytes};
  return picture::WriteFilesWhole({&file, 1});
}

std::string SavePng(const std::filesystem::path& path, const QImage& image) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) return "Nie mogę zapisać pliku " + picture::Utf8Name(path) + ".";
  return Save(path, png);
}

}  // namespace

PreviewResult WriteShowPreview(std::unique_ptr<ShowTimeline> timeline,
                               const std::filesystem::path& folder, const QDateTime& start) {
  if (const auto pass = timeline->PassLength(); pass && *pass > kLongestPreview) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(*pass).count();
    return {0, "Jeden przebieg pokazu trwa " + std::to_string(seconds) +
                   " s; podgląd obejmuje najwyżej " +
                   std::to_string(std::chrono::seconds(kLongestPreview).count()) +
                   " s (zmniejsz „times” albo „seconds”)."};
  }
  std::error_code failed;
  std::filesystem::create_directories(folder, failed);
  if (failed || !std::filesystem::is_directory(folder)) {
    return {0, "Nie mogę utworzyć katalogu " + picture::Utf8Name(folder) + "."};
  }
  SimulatedClock clock(start);
  SimulatedOutput output(clock, kPreviewBaud);
  std::stop_source stop;
  // Every pass plays the same: the first is all there is to see. A page
  // that lasts for ever ends the preview after its first frame.
  const bool endless = !timeline->PassLength();
  std::optional<BoardDots> second;  // the second board, when the show uses it
  if (timeline->UsesSecondBoard()) second = BoardDots();
  const std::chrono::microseconds length(endless ? std::chrono::milliseconds(0)
                                                 : *timeline->PassLength());
  clock.StopAt(length + std::chrono::seconds(1), stop);
  timeline->SetRepeat(1);
  timeline->UseBlankRanges(false);

  PreviewResult result;
  std::string timing;
  ShowPlayer player(
      clock,
      PlayerOptions{true, {}, std::chrono::milliseconds(1000), std::chrono::milliseconds(30000)});
  player.SetFrameObserver([&](const FrameRecord& frame) {
    if (result.frames == kMostPreviewFrames) {
      result.error = "Pokaz ma ponad " + std::to_string(kMostPreviewFrames) +
                     " klatek; zapisano tylko pierwsze.";
      stop.request_stop();
      return;
    }
    const std::string name = FrameName(++result.frames);
    if (second && frame.second) second = frame.second;
    if (std::string problem = SavePng(folder / name, DrawFrame(frame.first, second));
        !problem.empty()) {
      result.error = problem;
      stop.request_stop();
      return;
    }
    char line[64];
    std::snprintf(line, sizeof line, "%s %.3f\n", name.c_str(),
                  static_cast<double>(start.msecsTo(frame.moment)) / 1000.0);
    timing += line;
    if (endless) stop.request_stop();
  });
  player.Play(std::move(timeline), Showing::Show);
  player.Run(output, stop.get_token());
  if (!result.error.empty()) return result;
  if (std::string problem = Save(folder / "timing.txt", QByteArray::fromStdString(timing));
      !problem.empty()) {
    result.error = problem;
  }
  return result;
}

}  // namespace tablica::show
