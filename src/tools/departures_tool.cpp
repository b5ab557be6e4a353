#include "tools/departures_tool.h"

#include <QDateTime>
#include <QStandardPaths>
#include <charconv>
#include <chrono>

#include "live/departures_view.h"
#include "live/feed_cache.h"
#include "live/live_source.h"
#include "live/realtime.h"
#include "live/timetable.h"
#include "picture/board_files.h"
#include "picture/text_render.h"
#include "picture/whole_files.h"

namespace tablica::tools {

namespace {

std::string JsonText(std::string_view text) {
  std::string quoted = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      quoted += escaped;
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

std::string IsoTime(live::Instant instant, const QTimeZone& zone) {
  return QDateTime::fromSecsSinceEpoch(instant, zone).toString(Qt::ISODate).toStdString();
}

live::Instant NowSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// The first two rows drawn on the board in 16-dot letters, each headsign
// shortened a letter at a time until its row fits (a board cannot scroll a
// table's cells).
std::string WriteBoardPreview(live::DeparturesView view, const std::filesystem::path& path) {
  if (view.rows.size() > picture::kMaxTextLines) view.rows.resize(picture::kMaxTextLines);
  picture::ConvertOptions options;
  options.align = picture::Alignment::Left;
  options.size = 16;
  for (std::size_t i = 0; i < view.rows.size(); ++i) {
    const QString headsign = QString::fromStdString(view.rows[i].headsign);
    for (qsizetype keep = headsign.size(); keep >= 0; --keep) {
      view.rows[i].headsign = headsign.left(keep).toStdString();
      options.text = {view.Lines()[i]};
      if (picture::RenderText(options).Ok()) break;
    }
  }
  options.text = view.Lines();
  const picture::DotsResult drawn = picture::RenderText(options);
  if (!drawn.Ok()) return drawn.error;
  return picture::WritePreviewPng(drawn.dots, path);
}

}  // namespace

std::string DeparturesUsage() {
  return "Użycie: tablica-convert --departures ROZKŁAD.zip|ADRES --stop ID [--stop ID …]\n"
         "                        [--route LINIA …] [--at RRRR-MM-DDTGG:MM[:SS]] [--rows N]\n"
         "                        [--realtime PLIK|ADRES]\n"
         "\n"
         "Wypisuje najbliższe odjazdy z przystanków rozkładu GTFS, jeden obiekt\n"
         "JSON w wierszu. Stacja (location_type 1) oznacza wszystkie jej perony.\n"
         "Rozkład spod adresu http(s) jest przechowywany i pobierany ponownie\n"
         "najwyżej raz na dobę, gdy się zmienił.\n"
         "  --route     tylko ta linia (route_id albo route_short_name); można powtarzać\n"
         "  --at        czas lokalny przewoźnika (agency_timezone); domyślnie teraz\n"
         "  --rows N    najwyżej N odjazdów (domyślnie 10)\n"
         "  --realtime  dane na żywo GTFS-Realtime (TripUpdates) z pliku albo adresu\n"
         "  --preview PODGLAD.png  pierwsze dwa odjazdy narysowane jak na tablicy\n"
         "              (kierunek skrócony, aż wiersz się zmieści)\n"
         "Kod wyjścia 0: wypisano; 1: rozkład albo dane odrzucone; 2: błędne opcje.\n";
}

ParsedDeparturesCommand ParseDeparturesCommand(const std::vector<std::string>& args) {
  DeparturesCommand command;
  bool haveFeed = false;
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") return {std::nullopt, true, {}};
  }
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool takesValue = arg == "--departures" || arg == "--stop" || arg == "--route" ||
                            arg == "--at" || arg == "--rows" || arg == "--realtime" ||
                            arg == "--preview";
    if (!takesValue) return {std::nullopt, false, "Nieznana opcja: " + arg + "."};
    if (i + 1 >= args.size()) return {std::nullopt, false, "Brak wartości po " + arg + "."};
    const std::string& value = args[++i];
    if (arg == "--departures") {
      command.feed = value;
      haveFeed = true;
    } else if (arg == "--stop") {
      command.stops.push_back(value);
    } else if (arg == "--route") {
      command.routes.push_back(value);
    } else if (arg == "--at") {
      command.at = value;
    } else if (arg == "--realtime") {
      command.realtime = value;
    } else if (arg == "--preview") {
      command.preview = value;
    } else {
      int rows = 0;
      const auto [end, problem] = std::from_chars(value.data(), value.data() + value.size(), rows);
      if (problem != std::errc() || end != value.data() + value.size() || rows < 1 || rows > 1000) {
        return {std::nullopt, false, "--rows przyjmuje liczbę od 1 do 1000."};
      }
      command.rows = rows;
    }
  }
  if (!haveFeed) return {std::nullopt, false, "Nie podano rozkładu (--departures ROZKŁAD.zip)."};
  if (command.stops.empty()) return {std::nullopt, false, "Nie podano przystanku (--stop ID)."};
  return {command, false, {}};
}

int RunDeparturesTool(const DeparturesCommand& command, const TextOut& out, const TextOut& error) {
  live::DeparturesQuery query;
  query.stops = command.stops;
  query.routes = command.routes;
  std::filesystem::path feedFile = picture::PathFromUtf8(command.feed);
  if (live::IsAddress(command.feed)) {
    // Kept in the user's cache and asked again at most daily, as a board does.
    const auto cache = std::filesystem::path(
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation).toStdU16String() +
        u"/zapis-bitmapy/rozklady");
    const auto kept = live::FeedCache(cache).Update(command.feed, NowSeconds());
    if (kept.file.empty()) {
      error(kept.error);
      return kExitRefused;
    }
    if (!kept.error.empty()) error(kept.error + " Pokazuję rozkład pobrany wcześniej.");
    feedFile = kept.file;
  }
  auto loaded = live::Timetable::Load(feedFile, query);
  if (auto* reason = std::get_if<std::string>(&loaded)) {
    error(*reason);
    return kExitRefused;
  }
  const auto& timetable = std::get<live::Timetable>(loaded);

  live::Instant at = NowSeconds();
  if (command.at) {
    QDateTime local = QDateTime::fromString(QString::fromStdString(*command.at), Qt::ISODate);
    if (!local.isValid() || command.at->size() < 16 || command.at->size() > 19) {
      error("--at przyjmuje czas RRRR-MM-DDTGG:MM[:SS], a nie „" + *command.at + "”.");
      return kExitUsage;
    }
    at = QDateTime(local.date(), local.time(), timetable.FeedZone()).toSecsSinceEpoch();
  }

  std::optional<live::RealtimeFeed> feed;
  if (command.realtime) {
    auto bytes = live::ReadSource(*command.realtime, live::kMaxRealtimeBytes);
    if (!bytes.error.empty()) {
      error(bytes.error);
      return kExitRefused;
    }
    auto decoded = live::DecodeRealtime(bytes.body);
    if (auto* reason = std::get_if<std::string>(&decoded)) {
      error(*reason);
      return kExitRefused;
    }
    feed = std::move(std::get<live::RealtimeFeed>(decoded));
  }

  const auto departures =
      timetable.Departures(at, static_cast<std::size_t>(command.rows), feed ? &*feed : nullptr);
  if (departures.empty()) error("Brak odjazdów w ciągu 24 godzin.");
  if (command.preview) {
    const live::DeparturesView view = live::MakeView(departures, at, true, "Brak odjazdów");
    if (std::string problem = WriteBoardPreview(view, picture::PathFromUtf8(*command.preview));
        !problem.empty()) {
      error(problem);
      return kExitRefused;
    }
  }
  for (const live::Departure& departure : departures) {
    out("{\"departure\": " + JsonText(IsoTime(departure.time, departure.zone)) +
        ", \"scheduled\": " + JsonText(IsoTime(departure.scheduled, departure.zone)) +
        ", \"route\": " + JsonText(departure.route) +
        ", \"headsign\": " + JsonText(departure.headsign) +
        ", \"stop\": " + JsonText(departure.stop) + ", \"trip\": " + JsonText(departure.trip) +
        ", \"delay\": " + (departure.delay ? std::to_string(*departure.delay) : "null") +
        ", \"realtime\": " + (departure.realtime ? "true" : "false") +
        ", \"cancelled\": " + (departure.cancelled ? "true" : "false") + "}\n");
  }
  return kExitWritten;
}

}  // namespace tablica::tools
