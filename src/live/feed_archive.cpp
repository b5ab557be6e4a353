#include "live/feed_archive.h"

#include <zip.h>

#include <vector>

namespace tablica::live {

FeedArchive::FeedArchive() = default;

FeedArchive::~FeedArchive() {
  if (archive_) zip_discard(archive_);
}

std::string FeedArchive::Open(const std::filesystem::path& path) {
  if (archive_) zip_discard(archive_);
  archive_ = nullptr;
  int code = 0;
  archive_ = zip_open(path.string().c_str(), ZIP_RDONLY, &code);
  if (archive_) return {};
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  std::string reason = zip_error_strerror(&error);
  zip_error_fini(&error);
  return "Nie można otworzyć rozkładu " + path.string() + " (to nie jest archiwum zip: " + reason +
         ").";
}

bool FeedArchive::Has(std::string_view table) const {
  return archive_ && zip_name_locate(archive_, std::string(table).c_str(), ZIP_FL_NODIR) >= 0;
}

std::string FeedArchive::Read(std::string_view table, bool required,
                              const std::function<bool(CsvFields)>& onRecord) const {
  const std::string name(table);
  const zip_int64_t index =
      archive_ ? zip_name_locate(archive_, name.c_str(), ZIP_FL_NODIR) : zip_int64_t{-1};
  if (index < 0) return required ? "W rozkładzie brakuje pliku " + name + "." : std::string();
  zip_file_t* file = zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0);
  if (!file) {
    return "Nie można rozpakować " + name + " z rozkładu (" + zip_strerror(archive_) + ").";
  }
  CsvReader reader(onRecord);
  std::vector<char> piece(std::size_t{1} << 18);
  std::uint64_t total = 0;
  std::string reason;
  for (;;) {
    const zip_int64_t got = zip_fread(file, piece.data(), piece.size());
    if (got < 0) {
      reason = "Plik " + name + " rozkładu jest uszkodzony (" + zip_file_strerror(file) + ").";
      break;
    }
    if (got == 0) {
      if (!reader.Finish() && !reader.Error().empty()) {
        reason = "Plik " + name + " rozkładu jest uszkodzony: " + reader.Error() + ".";
      }
      break;
    }
    total += static_cast<std::uint64_t>(got);
    if (total > kMaxTableBytes) {
      reason = "Plik " + name + " rozkładu jest większy niż 4 GiB.";
      break;
    }
    if (!reader.Feed(std::string_view(piece.data(), static_cast<std::size_t>(got)))) {
      if (!reader.Error().empty()) {
        reason = "Plik " + name + " rozkładu jest uszkodzony: " + reader.Error() + ".";
      }
      break;
    }
  }
  zip_fclose(file);
  return reason;
}

}  // namespace tablica::live
