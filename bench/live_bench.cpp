// Figures of the live information on a big city's feed that the benchmark
// writes itself (10,000 stops, 30,000 trips, 1.5 million stop times):
//   - the floor: `unzip -p feed.zip stop_times.txt > /dev/null`
//   - the time to the first departures of one stop, and the resident memory
//     meanwhile (a child process of its own, so the writing is not counted)
//   - decoding and applying a live feed of 5,000 trip updates (CPU)
//   - the CPU of one refresh of a departures list
//   - the CPU of a show with a departures zone beside a clock, between the
//     refreshes of its sources: the player looks at it each second
// Figures only: nothing here passes or fails.

#include <sys/resource.h>
#include <zip.h>

#include <QDateTime>
#include <QGuiApplication>
#include <thread>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "live/realtime.h"
#include "live/timetable.h"
#include "show/show_timeline.h"
#include "transit_live.pb.h"

namespace {

using namespace tablica::live;

constexpr int kStops = 10000, kRoutes = 300, kTripsPerRoute = 100, kStopsPerTrip = 50;
const char* const kStop = "S4242";

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double WallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int StopOf(int route, int k) {
  return (route * 37 + k * 211) % kStops;
}

std::string TripId(int route, int n) {
  return "T" + std::to_string(route * kTripsPerRoute + n);
}

void AddTable(zip_t* archive, const char* name, std::string* text) {
  zip_source_t* source = zip_source_buffer(archive, text->data(), text->size(), 0);
  zip_file_add(archive, name, source, ZIP_FL_OVERWRITE);
}

void WriteFeed(const std::filesystem::path& path) {
  std::string agency =
      "agency_id,agency_name,agency_url,agency_timezone\nA,MPK,http://x,Europe/Warsaw\n";
  std::string stops = "stop_id,stop_name,stop_lat,stop_lon\n";
  for (int s = 0; s < kStops; ++s) {
    stops += "S" + std::to_string(s) + ",Przystanek " + std::to_string(s) + ",52.2,21.0\n";
  }
  std::string routes = "route_id,agency_id,route_short_name,route_type\n";
  std::string trips = "route_id,service_id,trip_id,trip_headsign\n";
  std::string stopTimes =
      "trip_id,arrival_time,departure_time,stop_id,stop_sequence,pickup_type,drop_off_type,"
      "shape_dist_traveled\n";
  stopTimes.reserve(std::size_t{75} << 20);
  char row[128];
  for (int r = 0; r < kRoutes; ++r) {
    routes += "R" + std::to_string(r) + ",A," + std::to_string(r + 1) + ",3\n";
    for (int n = 0; n < kTripsPerRoute; ++n) {
      const std::string trip = TripId(r, n);
      trips += "R" + std::to_string(r) + ",WK," + trip + ",Kierunek " + std::to_string(r) + "\n";
      int time = 5 * 3600 + n * 600 + r * 7;
      for (int k = 0; k < kStopsPerTrip; ++k, time += 90) {
        const int h = time / 3600, m = time / 60 % 60, sec = time % 60;
        std::snprintf(row, sizeof row, "%s,%02d:%02d:%02d,%02d:%02d:%02d,S%d,%d,0,0,%d.%d\n",
                      trip.c_str(), h, m, sec, h, m, sec, StopOf(r, k), k + 1, k * 412, k % 10);
        stopTimes += row;
      }
    }
  }
  std::string calendar =
      "service_id,monday,tuesday,wednesday,thursday,friday,saturday,sunday,start_date,end_date\n"
      "WK,1,1,1,1,1,1,1,20260101,20271231\n";
  int code = 0;
  zip_t* archive = zip_open(path.string().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
  AddTable(archive, "agency.txt", &agency);
  AddTable(archive, "stops.txt", &stops);
  AddTable(archive, "routes.txt", &routes);
  AddTable(archive, "trips.txt", &trips);
  AddTable(archive, "stop_times.txt", &stopTimes);
  AddTable(archive, "calendar.txt", &calendar);
  zip_close(archive);
  std::printf("| feed | %d stops, %d trips, %d stop times, stop_times.txt %.1f MB |\n", kStops,
              kRoutes * kTripsPerRoute, kRoutes * kTripsPerRoute * kStopsPerTrip,
              static_cast<double>(stopTimes.size()) / 1e6);
}

Instant At() {
  return 1796799600;
}  // a Wednesday, 08:00 in Warsaw

// The child: from nothing to the first departures of one stop.
int LoadOnce(const char* feed) {
  const double start = WallSeconds();
  auto loaded = Timetable::Load(feed, DeparturesQuery{{kStop}, {}});
  if (auto* reason = std::get_if<std::string>(&loaded)) {
    std::fprintf(stderr, "%s\n", reason->c_str());
    return 1;
  }
  const auto departures = std::get<Timetable>(loaded).Departures(At(), 5);
  const double took = WallSeconds() - start;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%.3f %ld %zu\n", took, usage.ru_maxrss, departures.size());
  return 0;
}

// A show of one page: the departures of one stop in the top zone (two
// rows), the clock beneath, drawn as the player draws it: once a second.
// The sources are asked on their own thread, which is left to load the
// feed first; then a minute of the show's seconds is drawn.
void ShowBetweenRefreshes(const std::filesystem::path& feed) {
  using namespace tablica::show;
  ContentModel departures;
  departures.kind = ContentKind::Departures;
  departures.live = LiveModel::For(ContentKind::Departures);
  departures.live.feed = feed.string();
  departures.live.stops = {kStop};
  departures.live.rows = 1;
  ContentModel clock;
  clock.options.text = {"{time:HH:mm:ss}"};
  ShowModel model;
  model.pages.resize(1);
  model.pages[0].first.kind = ContentKind::Zones;
  model.pages[0].first.zones = {{0, 0, 128, 16, departures}, {0, 16, 128, 16, clock}};
  const QDateTime start = QDateTime::fromSecsSinceEpoch(At());
  TimelineResult made = MakeTimeline(model, start);
  if (!made.timeline) return;
  made.timeline->Start();  // the sources' thread
  const auto watches = made.timeline->Watches();
  const double waited = WallSeconds();
  while (!watches.front()->Report().front().age && WallSeconds() - waited < 120) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  constexpr int kSeconds = 60;
  int lit = 0;
  const double cpu = CpuSeconds();
  for (int second = 1; second <= kSeconds; ++second) {
    lit += made.timeline->At(std::chrono::seconds(second), start.addSecs(second)).first.LitCount();
  }
  const double each = (CpuSeconds() - cpu) / kSeconds;
  std::printf(
      "| a show with a departures zone and a clock, between refreshes | %.3f ms CPU a second "
      "(%.3f %% of a core; %s dots) |\n",
      each * 1000, each * 100, lit > 0 ? "lit" : "no");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--load") return LoadOnce(argv[2]);
  const auto folder = std::filesystem::temp_directory_path() / "tablica-live-bench";
  std::filesystem::create_directories(folder);
  const auto feed = folder / "feed.zip";
  std::printf("| live information | figure |\n|---|---|\n");
  WriteFeed(feed);

  double floor = 1e9, load = 1e9;
  long rss = 0;
  for (int run = 0; run < 3; ++run) {
    double start = WallSeconds();
    const std::string unzip = "unzip -p '" + feed.string() + "' stop_times.txt > /dev/null";
    if (std::system(unzip.c_str()) != 0) return 1;
    floor = std::min(floor, WallSeconds() - start);
    const std::string child = "'" + std::string(argv[0]) + "' --load '" + feed.string() + "' " +
                              kStop + " > '" + (folder / "load.txt").string() + "'";
    if (std::system(child.c_str()) != 0) return 1;
    double took = 0;
    long maxRss = 0;
    std::size_t found = 0;
    FILE* result = std::fopen((folder / "load.txt").string().c_str(), "r");
    if (!result || std::fscanf(result, "%lf %ld %zu", &took, &maxRss, &found) != 3) return 1;
    std::fclose(result);
    load = std::min(load, took);
    rss = std::max(rss, maxRss);
  }
  std::printf("| floor: unzip -p stop_times.txt | %.0f ms |\n", floor * 1000);
  std::printf("| first departures of one stop | %.0f ms (%.2f x floor) |\n", load * 1000,
              load / floor);
  std::printf("| resident memory meanwhile (peak) | %.1f MiB |\n", static_cast<double>(rss) / 1024);

  auto loaded = Timetable::Load(feed, DeparturesQuery{{kStop}, {}});
  const auto& timetable = std::get<Timetable>(loaded);

  // A live feed of 5,000 trips, each late at its tenth stop.
  wire::FeedMessage message;
  message.mutable_header()->set_gtfs_realtime_version("2.0");
  message.mutable_header()->set_timestamp(static_cast<std::uint64_t>(At()));
  for (int t = 0; t < 5000; ++t) {
    auto* entity = message.add_entity();
    entity->set_id(std::to_string(t));
    auto* update = entity->mutable_trip_update();
    update->mutable_trip()->set_trip_id(TripId(t % kRoutes, t / kRoutes));
    auto* stop = update->add_stop_time_update();
    stop->set_stop_sequence(10);
    stop->mutable_departure()->set_delay(60 + t % 300);
  }
  const std::string bytes = message.SerializeAsString();
  constexpr int kRounds = 20;
  double cpu = CpuSeconds();
  std::size_t shown = 0;
  for (int i = 0; i < kRounds; ++i) {
    auto live = DecodeRealtime(bytes);
    shown += timetable.Departures(At(), 5, &std::get<RealtimeFeed>(live)).size();
  }
  std::printf("| live feed of 5,000 trips (%zu KiB) decoded and applied | %.2f ms CPU |\n",
              bytes.size() / 1024, (CpuSeconds() - cpu) * 1000 / kRounds);

  cpu = CpuSeconds();
  for (int i = 0; i < kRounds; ++i) shown += timetable.Departures(At() + i * 30, 5).size();
  const double refresh = (CpuSeconds() - cpu) / kRounds;
  std::printf(
      "| one refresh of a departures list | %.3f ms CPU (%.4f %% of a core at every 30 s) |\n",
      refresh * 1000, refresh / 30 * 100);
  qputenv("QT_QPA_PLATFORM",
          qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QGuiApplication app(argc, argv);
  ShowBetweenRefreshes(feed);
  std::filesystem::remove_all(folder);
  return shown == 0;
}
