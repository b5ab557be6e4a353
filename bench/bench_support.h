#pragma once

// What the benchmark programs share: the results of Google Benchmark's runs,
// medians, and the camera-sized photo they measure pictures with.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tablica::bench {

// Keeps every successful run by name; a failed one is said on stderr.
class RunCollector : public benchmark::BenchmarkReporter {
 public:
  bool ReportContext(const Context&) override { return true; }
  void ReportRuns(const std::vector<Run>& runs) override;
  // Seconds per iteration of the first run whose name starts with `prefix`.
  std::optional<double> Seconds(const std::string& prefix) const;
  std::optional<double> Counter(const std::string& prefix, const std::string& name) const;

 private:
  const Run* Find(const std::string& prefix) const;
  std::map<std::string, Run> runs_;
};

// The median of `times` (not empty).
double Median(std::vector<double> times);

// A 4000 x 3000 photo-like JPEG: smooth light with texture, noise and shapes,
// so that it has the size and detail of a camera's. False if not written.
bool WritePhoto(const std::filesystem::path& path);

}  // namespace tablica::bench
