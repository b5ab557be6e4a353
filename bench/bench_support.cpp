#include "bench_support.h"

#include <algorithm>
#include <cstdio>
#include <random>

#include <QImage>
#include <QPainter>

namespace tablica::bench {

void RunCollector::ReportRuns(const std::vector<Run>& runs) {
  for (const Run& run : runs) {
    if (run.error_occurred) {
      std::fprintf(stderr, "%s: %s\n", run.benchmark_name().c_str(), run.error_message.c_str());
      continue;
    }
    runs_[run.benchmark_name()] = run;
  }
}

const benchmark::BenchmarkReporter::Run* RunCollector::Find(const std::string& prefix) const {
  for (const auto& [name, run] : runs_) {
    if (name.rfind(prefix, 0) == 0) return &run;
  }
  return nullptr;
}

std::optional<double> RunCollector::Seconds(const std::string& prefix) const {
  const Run* run = Find(prefix);
  if (!run) return std::nullopt;
  double scale = 1e-9;
  switch (run->time_unit) {
    case benchmark::kNanosecond:
      scale = 1e-9;
      break;
    case benchmark::kMicrosecond:
      scale = 1e-6;
      break;
    case benchmark::kMillisecond:
      scale = 1e-3;
      break;
    case benchmark::kSecond:
      scale = 1;
      break;
  }
  return run->GetAdjustedRealTime() * scale;
}

std::optional<double> RunCollector::Counter(const std::string& prefix,
                                            const std::string& name) const {
  const Run* run = Find(prefix);
  if (!run) return std::nullopt;
  const auto it = run->counters.find(name);
  if (it == run->counters.end()) return std::nullopt;
  return it->second.value;
}

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  const std::size_t n = times.size();
  return n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
}

bool WritePhoto(const std::filesystem::path& path) {
  QImage photo(4000, 3000, QImage::Format_RGB32);
  std::mt19937 random(7);
  std::uniform_int_distribution<int> noise(-12, 12);
  for (int y = 0; y < photo.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(photo.scanLine(y));
    for (int x = 0; x < photo.width(); ++x) {
      const int light = (x / 16 + y / 12) % 256;
      row[x] = qRgb(std::clamp(light + noise(random), 0, 255),
                    std::clamp(200 - y / 15 + noise(random), 0, 255),
                    std::clamp(x / 16 + noise(random), 0, 255));
    }
  }
  QPainter painter(&photo);
  painter.setBrush(Qt::black);
  painter.drawEllipse(1200, 700, 1600, 1600);
  painter.setBrush(Qt::white);
  painter.drawRect(300, 2200, 900, 500);
  painter.end();
  return photo.save(QString::fromStdString(path.string()), "JPEG", 90);
}

}  // namespace tablica::bench
