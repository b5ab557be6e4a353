#pragma once

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace tablica::testing_support {

// A fresh folder under the system's temporary folder, removed with the object.
// (Made by trying random names, which works with Windows' runtime too.)
class TempFolder {
 public:
  TempFolder() {
    std::random_device seed;
    std::mt19937_64 random(seed());
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const auto candidate = base / ("tablica-" + std::to_string(random() % 1000000000000ULL));
      std::error_code failed;
      if (std::filesystem::create_directory(candidate, failed)) path_ = candidate;
    }
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace tablica::testing_support
