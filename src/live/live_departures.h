#pragma once

// The departures of one page of a show, kept current: the timetable read
// once (a feed given as an address fetched again when it changed, at most
// daily), the live feeds asked every `every` seconds. Refresh does the
// network and file work and may block (a worker's job); View is cheap and
// may be called from another thread at any time. A source that fails keeps
// its last good answer and is logged once until it answers again.

#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "live/data_source.h"
#include "live/departures_view.h"
#include "live/realtime.h"
#include "live/timetable.h"

namespace tablica::live {

struct DeparturesSource {
  std::string feed;      // a file (resolved by the caller) or an address
  std::string realtime;  // trip updates' address; empty: none
  std::string alerts;    // alerts' address; empty: none
  DeparturesQuery query;
  std::size_t rows = 3;
  int every = 30;  // seconds between asking the live feeds
  std::string none = "Brak odjazdów";
};

// One source as the service's status lists it.
struct SourceStatus {
  std::string name;            // the address or file
  std::optional<Instant> age;  // seconds since the last good answer
  std::string fault;           // the last fault; empty when none
  bool failing = false;        // the last answer was that fault
};

class LiveDepartures {
 public:
  using Log = std::function<void(const std::string&)>;
  LiveDepartures(DeparturesSource source, std::filesystem::path cacheFolder, Log log);

  // Does what is due at `now`.
  void Refresh(Instant now);
  DeparturesView View(Instant now) const;
  std::vector<SourceStatus> Status(Instant now) const;

 private:
  struct Source {
    std::string where;
    SourceState state{""};
    Instant goodAt = 0;
    Instant askedAt = 0;
    bool asked = false;
  };
  void Fail(Source& source, const std::string& fault);
  void RefreshFeed(Instant now);
  std::optional<RealtimeFeed> RefreshLive(Source& source, Instant now);

  DeparturesSource config_;
  std::filesystem::path cacheFolder_;
  Log log_;
  mutable std::mutex mutex_;  // guards everything below
  std::optional<Timetable> timetable_;
  std::optional<RealtimeFeed> live_, alerts_;
  Source feed_, realtime_, alertsSource_;
};

}  // namespace tablica::live
