// /api/stops: the stops of a timetable at an address, found by their names
// for the web page's departures. The timetable goes into the same kept
// folder the departures play from, so a stop chosen here costs no second
// download when it is shown. One search at a time: a timetable can be
// large, and a search holds its worker until the timetable has come.

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <mutex>

#include "live/feed_cache.h"
#include "live/live_source.h"
#include "live/stop_list.h"
#include "service/http_routes.h"
#include "service/site_rules.h"
#include "show/live_content.h"

namespace tablica::service {

namespace {

constexpr std::size_t kMaxRequest = 4096;
constexpr qsizetype kMaxSearch = 100;
constexpr std::size_t kShown = 50;

struct StopsRequest {
  std::string feed;
  std::string search;
  std::string error;  // Polish: why the request is refused
};

StopsRequest ReadRequest(const httplib::Request& request) {
  StopsRequest read;
  if (request.body.size() > kMaxRequest) {
    read.error = "Zapytanie o przystanki jest za długie.";
    return read;
  }
  const QJsonDocument json = QJsonDocument::fromJson(QByteArray::fromStdString(request.body));
  const QJsonObject object = json.object();
  const QJsonValue feed = object.value("feed");
  const QJsonValue search = object.value("search");
  if (!json.isObject() || !feed.isString() || (!search.isUndefined() && !search.isString())) {
    read.error =
        "Zapytanie o przystanki musi być obiektem JSON {\"feed\": adres rozkładu, \"search\": "
        "część nazwy}.";
    return read;
  }
  read.feed = feed.toString().trimmed().toStdString();
  if (!live::IsAddress(read.feed)) {
    read.error =
        "Rozkład trzeba podać adresem http:// albo https:// (serwer nie otwiera plików na "
        "prośbę z sieci).";
    return read;
  }
  if (search.toString().size() > kMaxSearch) {
    read.error = "Szukana nazwa przystanku jest za długa (najwyżej " + std::to_string(kMaxSearch) +
                 " znaków).";
    return read;
  }
  read.search = search.toString().trimmed().toStdString();
  return read;
}

std::string StopsJson(const live::FoundStops& found) {
  QJsonArray stops;
  for (const live::FoundStop& stop : found.stops) {
    stops.append(QJsonObject{{"id", QString::fromStdString(stop.id)},
                             {"name", QString::fromStdString(stop.name)},
                             {"station", stop.station}});
  }
  const QJsonObject answer{{"stops", stops}, {"more", found.more}};
  return QJsonDocument(answer).toJson(QJsonDocument::Compact).toStdString();
}

}  // namespace

void AddStopsRoute(httplib::Server& server) {
  auto searching = std::make_shared<std::mutex>();
  server.Post("/api/stops", [searching](const httplib::Request& request,
                                        httplib::Response& response) {
    if (BodyKindOf(request.get_header_value("Content-Type")) != BodyKind::Json) {
      return Refuse(response, 415, "Zapytanie o przystanki musi być JSON-em (application/json).");
    }
    const StopsRequest asked = ReadRequest(request);
    if (!asked.error.empty()) return Refuse(response, 400, asked.error);
    const std::unique_lock one(*searching, std::try_to_lock);
    if (!one.owns_lock()) {
      return Refuse(response, 503, "Trwa już inne wyszukiwanie przystanków; spróbuj za chwilę.");
    }
    const live::FeedCache cache(show::FeedCacheFolder());
    const live::FeedCache::Result kept =
        cache.Update(asked.feed, QDateTime::currentSecsSinceEpoch());
    if (kept.file.empty()) {
      return Refuse(response, 502, "Nie pobrano rozkładu: " + kept.error);
    }
    const live::FoundStops found = live::FindStops(kept.file, asked.search, kShown);
    if (!found.error.empty()) return Refuse(response, 422, found.error);
    response.status = 200;
    response.set_content(StopsJson(found), "application/json; charset=utf-8");
  });
}

}  // namespace tablica::service
