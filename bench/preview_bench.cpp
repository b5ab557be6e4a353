#include "preview_bench.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QSlider>
#include <QTabWidget>
#include <QWindow>

#include "bench_support.h"
#include "obraz/board_play.h"
#include "obraz/board_preview.h"
#include "obraz/obraz_window.h"
#include "session/board_session.h"
#include "temp_folder.h"

namespace tablica::bench {
namespace {

using Clock = std::chrono::steady_clock;

class NoFileChooser final : public FileChooser {
 public:
  std::optional<QString> ChooseFile(QWidget*, const FileChoice&) override { return std::nullopt; }
};

// Median seconds of `change(i)` followed by a repaint of the preview.
double MedianUpdate(BoardPreview& preview, int changes, const std::function<void(int)>& change) {
  std::vector<double> times;
  times.reserve(static_cast<std::size_t>(changes));
  for (int i = 0; i < changes; ++i) {
    const auto start = Clock::now();
    change(i);
    preview.repaint();
    times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
  }
  return Median(times);
}

}  // namespace

std::optional<PreviewFigures> MeasurePreview(int changes) {
  if (changes <= 0) return std::nullopt;
  testing_support::TempFolder folder;
  const std::filesystem::path photo = folder.path() / "foto-12mpx.jpg";
  if (!WritePhoto(photo)) return std::nullopt;

  // No settings file: no port is opened, the session stays idle.
  const auto quiet = [](const std::string&) {};
  SessionMessages sessionMessages(quiet);
  const auto session = BoardSession::Native(sessionMessages.Fn());
  NoFileChooser chooser;
  // No show is built here, so nothing is ever asked.
  const auto neverAsked = [](const std::string&) { return true; };
  ObrazWindow window({*session, quiet, quiet, folder.path() / "ustaw.txt"}, chooser, chooser,
                     sessionMessages, neverAsked);
  window.show();
  // Painting starts once the X server has mapped the window.
  const auto showing = Clock::now();
  while (!(window.windowHandle() && window.windowHandle()->isExposed()) &&
         Clock::now() - showing < std::chrono::seconds(10)) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  auto& preview = *window.findChild<BoardPreview*>(QStringLiteral("preview"));
  auto& dotsMethod = *window.findChild<QComboBox*>(QStringLiteral("dotsMethod"));
  auto& placement = *window.findChild<QComboBox*>(QStringLiteral("placement"));
  auto& level = *window.findChild<QSlider*>(QStringLiteral("level"));

  PreviewFigures figures;
  figures.changes = changes;
  const auto opening = Clock::now();
  if (!window.OpenPicture(QString::fromStdString(photo.string()))) return std::nullopt;
  preview.repaint();
  figures.openPhotoSeconds = std::chrono::duration<double>(Clock::now() - opening).count();

  dotsMethod.setCurrentIndex(1);  // a threshold at the slider's level
  figures.photoSliderSeconds =
      MedianUpdate(preview, changes, [&](int i) { level.setValue(1 + (i * 37) % 254); });
  figures.placementSeconds = MedianUpdate(
      preview, changes, [&](int i) { placement.setCurrentIndex(i % placement.count()); });

  window.findChild<QTabWidget*>(QStringLiteral("sourceTabs"))->setCurrentIndex(1);
  auto& first = *window.findChild<QLineEdit*>(QStringLiteral("firstLine"));
  auto& second = *window.findChild<QLineEdit*>(QStringLiteral("secondLine"));
  second.setText(QStringLiteral("Łódź Kaliska"));
  figures.textSeconds = MedianUpdate(preview, changes, [&](int i) {
    first.setText(QStringLiteral("Odjazd 12:%1").arg(i % 60, 2, 10, QLatin1Char('0')));
  });
  window.close();
  return figures;
}

}  // namespace tablica::bench
