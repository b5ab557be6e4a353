#include "picture/whole_files.h"

#include <QSaveFile>
#include <memory>
#include <optional>
#include <random>
#include <system_error>
#include <vector>

#include "picture/convert_options.h"

namespace tablica::picture {

namespace {

namespace fs = std::filesystem;

std::string CannotWrite(const fs::path& path) {
  return "Nie mogę zapisać pliku " + Utf8Name(path) + ".";
}

std::string SameTarget(const fs::path& a, const fs::path& b) {
  return "Pliki " + Utf8Name(a) + " i " + Utf8Name(b) + " to ten sam plik; podaj dwa różne.";
}

// A path made absolute with every part that exists resolved.
fs::path Spelt(const fs::path& path) {
  std::error_code failed;
  fs::path absolute = fs::absolute(path, failed);
  if (failed) return path.lexically_normal();
  fs::path resolved = fs::weakly_canonical(absolute, failed);
  return failed ? absolute.lexically_normal() : resolved;
}

// The old file kept under a second name beside it until the new ones are
// all in place: a hard link where the file system has them, else a copy.
std::optional<fs::path> KeepOld(const fs::path& target) {
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 20; ++attempt) {
    fs::path kept = target;
    kept += ".poprzedni-" + std::to_string(random() % 1000000000ULL);
    std::error_code failed;
    if (fs::exists(kept, failed)) continue;
    fs::create_hard_link(target, kept, failed);
    if (!failed) return kept;
    if (fs::copy_file(target, kept, failed) && !failed) return kept;
  }
  return std::nullopt;
}

// One file of the set: made beside its target, not yet in place.
struct Staged {
  const FileToWrite* file = nullptr;
  bool existed = false;
  std::unique_ptr<QSaveFile> save;
  std::optional<fs::path> old;  // the previous file, while the set is put in place
  bool committed = false;
};

void RollBack(std::vector<Staged>& staged) {
  std::error_code ignored;
  for (Staged& s : staged) {
    if (!s.committed) continue;
    if (s.old) {
      fs::rename(*s.old, s.file->path, ignored);
      s.old.reset();
    } else if (!s.existed) {
      fs::remove(s.file->path, ignored);
    }
  }
}

void DropOld(std::vector<Staged>& staged) {
  std::error_code ignored;
  for (Staged& s : staged) {
    if (s.old) fs::remove(*s.old, ignored);
  }
}

// The checks made before anything is written.
std::string CheckTargets(std::span<const FileToWrite> files, std::vector<Staged>& staged) {
  for (std::size_t i = 0; i < files.size(); ++i) {
    std::error_code failed;
    const fs::file_status status = fs::status(files[i].path, failed);
    const bool exists = !failed && fs::exists(status);
    if (exists && !fs::is_regular_file(status)) {
      return "Nie zapisuję do " + Utf8Name(files[i].path) + ": to nie jest zwykły plik.";
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (SameFile(files[j].path, files[i].path)) return SameTarget(files[j].path, files[i].path);
    }
    staged.push_back({&files[i], exists, nullptr, std::nullopt, false});
  }
  return {};
}

}  // namespace

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code failed;
  if (fs::equivalent(a, b, failed) && !failed) return true;
  return Spelt(a) == Spelt(b);
}

std::string WriteFilesWhole(std::span<const FileToWrite> files,
                            const std::function<void(std::size_t)>& beforePlacing) {
  std::vector<Staged> staged;
  if (std::string problem = CheckTargets(files, staged); !problem.empty()) return problem;
  // Every file made beside its target first.
  for (Staged& s : staged) {
    s.save = std::make_unique<QSaveFile>(QString::fromStdU16String(s.file->path.u16string()));
    if (!s.save->open(QIODevice::WriteOnly) ||
        s.save->write(s.file->bytes) != s.file->bytes.size() || !s.save->flush()) {
      return CannotWrite(s.file->path);
    }
  }
  // With more than one file, every one but the last keeps its old version
  // until the last is in place, so that a late failure can restore it.
  for (std::size_t i = 0; staged.size() > 1 && i + 1 < staged.size(); ++i) {
    if (!staged[i].existed) continue;
    staged[i].old = KeepOld(staged[i].file->path);
    if (!staged[i].old) {
      DropOld(staged);
      return CannotWrite(staged[i].file->path);
    }
  }
  for (std::size_t i = 0; i < staged.size(); ++i) {
    Staged& s = staged[i];
    if (beforePlacing) beforePlacing(i);
    if (!s.save->commit()) {
      RollBack(staged);
      DropOld(staged);
      return CannotWrite(s.file->path);
    }
    s.committed = true;
    // Two names that only a file system's rules make one (letter case on
    // Windows) show once the first is there.
    for (std::size_t j = i + 1; j < staged.size(); ++j) {
      std::error_code failed;
      if (!staged[j].existed && fs::equivalent(s.file->path, staged[j].file->path, failed) &&
          !failed) {
        RollBack(staged);
        DropOld(staged);
        return SameTarget(s.file->path, staged[j].file->path);
      }
    }
  }
  DropOld(staged);
  return {};
}

}  // namespace tablica::picture
