#include "live/feed_cache.h"

#include <QCoreApplication>
#include <fstream>
#include <functional>
#include <system_error>
#include <thread>

#include "live/live_source.h"

namespace tablica::live {

namespace {

struct Kept {
  Instant asked = 0;
  std::string etag, lastModified;
};

Kept ReadKept(const std::filesystem::path& path) {
  Kept kept;
  std::ifstream file(path);
  std::string asked;
  if (std::getline(file, asked) && std::getline(file, kept.etag) &&
      std::getline(file, kept.lastModified)) {
    kept.asked = std::atoll(asked.c_str());
  }
  return kept;
}

void WriteKept(const std::filesystem::path& path, const Kept& kept) {
  std::ofstream(path, std::ios::trunc) << kept.asked << '\n'
                                       << kept.etag << '\n'
                                       << kept.lastModified << '\n';
}

}  // namespace

FeedCache::Result FeedCache::Update(const std::string& url, Instant now) const {
  const std::string name = "rozklad-" + std::to_string(std::hash<std::string>{}(url));
  const auto feed = folder_ / (name + ".zip");
  const auto meta = folder_ / (name + ".txt");
  // Two zones (or a stop search and a show, or two programs) may fetch the
  // same address at once: each writes a file of its own and the last whole
  // one is renamed into place, never bytes of two answers mixed in one.
  const auto part =
      folder_ /
      (name + "-" + std::to_string(QCoreApplication::applicationPid()) + "-" +
       std::to_string(std::hash<std::thread::id>{}(std::this_thread::get_id())) + ".part");
  std::error_code failed;
  Result result;
  const bool have = std::filesystem::is_regular_file(feed, failed);
  if (have) result.file = feed;
  Kept kept = have ? ReadKept(meta) : Kept{};
  if (have && now - kept.asked < kRecheck && now >= kept.asked) return result;

  std::filesystem::create_directories(folder_, failed);
  std::ofstream out(part, std::ios::binary | std::ios::trunc);
  if (!out) {
    result.error = "Nie można zapisać rozkładu w " + folder_.string() + ".";
    return result;
  }
  FetchLimits limits;
  limits.maxBytes = kMaxFeedBytes;
  limits.total = std::chrono::minutes(10);
  const FetchResult fetched =
      Fetch(url, limits, have ? kept.etag : std::string(), have ? kept.lastModified : std::string(),
            [&](const char* data, std::size_t length) {
              out.write(data, static_cast<std::streamsize>(length));
              return out.good();
            });
  out.close();
  if (!fetched.error.empty() || fetched.notModified || !out) {
    std::filesystem::remove(part, failed);
    if (fetched.error.empty() && fetched.notModified) {
      kept.asked = now;
      WriteKept(meta, kept);
    } else {
      result.error = fetched.error.empty()
                         ? "Nie można zapisać rozkładu w " + folder_.string() + "."
                         : fetched.error;
    }
    return result;
  }
  std::filesystem::rename(part, feed, failed);
  if (failed) {
    std::filesystem::remove(part, failed);
    result.error = "Nie można zapisać rozkładu w " + folder_.string() + ".";
    return result;
  }
  WriteKept(meta, Kept{now, fetched.etag, fetched.lastModified});
  result.file = feed;
  result.changed = true;
  return result;
}

}  // namespace tablica::live
