#include "live/stop_list.h"

#include <QString>
#include <algorithm>
#include <utility>

#include "live/feed_archive.h"

namespace tablica::live {

namespace {

// However many stops match, no more than this are held for sorting.
constexpr std::size_t kMaxHeld = 5000;

// Lower case with the marks on letters dropped, so that a search typed
// without Polish letters finds names written with them.
QString Folded(std::string_view text) {
  const QString decomposed = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
                                 .toCaseFolded()
                                 .normalized(QString::NormalizationForm_KD);
  QString plain;
  plain.reserve(decomposed.size());
  for (const QChar letter : decomposed) {
    if (letter.isMark()) continue;
    plain += letter == QChar(u'ł') ? QChar(u'l') : letter;  // ł has no mark to drop
  }
  return plain;
}

}  // namespace

FoundStops FindStops(const std::filesystem::path& feed, std::string_view search,
                     std::size_t limit) {
  FoundStops found;
  FeedArchive archive;
  if (std::string failed = archive.Open(feed); !failed.empty()) {
    found.error = std::move(failed);
    return found;
  }
  const QString wanted = Folded(search).trimmed();
  std::size_t id = CsvHeader::npos, name = CsvHeader::npos, type = CsvHeader::npos;
  bool header = true;
  std::string failed = archive.Read("stops.txt", true, [&](CsvFields record) {
    if (header) {
      const CsvHeader columns(record);
      id = columns.Column("stop_id");
      name = columns.Column("stop_name");
      type = columns.Column("location_type");
      header = false;
      return true;
    }
    // Entrances, nodes and boarding areas are parts of a station, not stops.
    const std::string_view kind = FieldAt(record, type);
    if (!kind.empty() && kind != "0" && kind != "1") return true;
    const std::string_view stopId = FieldAt(record, id);
    const std::string_view stopName = FieldAt(record, name);
    if (stopId.empty()) return true;
    if (!wanted.isEmpty() && !Folded(stopName).contains(wanted) &&
        !Folded(stopId).contains(wanted)) {
      return true;
    }
    if (found.stops.size() >= kMaxHeld) {
      found.more = true;
      return false;
    }
    found.stops.push_back({std::string(stopId), std::string(stopName), kind == "1"});
    return true;
  });
  if (!failed.empty()) {
    found.error = std::move(failed);
    found.stops.clear();
    return found;
  }
  // By name as a person reads it ("Łódź" among the L's), then by id.
  std::vector<std::pair<QString, FoundStop>> keyed;
  keyed.reserve(found.stops.size());
  for (FoundStop& stop : found.stops) keyed.emplace_back(Folded(stop.name), std::move(stop));
  std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : a.second.id < b.second.id;
  });
  found.stops.clear();
  for (auto& [key, stop] : keyed) found.stops.push_back(std::move(stop));
  if (found.stops.size() > limit) {
    found.stops.resize(limit);
    found.more = true;
  }
  return found;
}

}  // namespace tablica::live
