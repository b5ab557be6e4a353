#pragma once

// The routes of the service's HTTP side, each group in its own file (for
// HttpApi; not a public header).

#include <httplib.h>

#include <string>

#include "service/board_service.h"
#include "service/http_api.h"
#include "service/live_feed.h"

namespace tablica::service {

// Every refusal: {"error": message} with `status`.
void Refuse(httplib::Response& response, int status, const std::string& message);

// /api/status, /api/board (POST, DELETE), /api/notify, /api/board.png,
// /api/board.json, /api/preview.
void AddBoardRoutes(httplib::Server& server, BoardService& service, const HttpSetup& setup);

// /api/live: server-sent events, one "frame" event per frame written.
void AddLiveRoute(httplib::Server& server, LiveFeed& feed);

// /api/stops (POST {"feed", "search"}): the stops of a timetable at an
// address whose names hold the search.
void AddStopsRoute(httplib::Server& server);

// The web page: /, its script and its style, from the program's resources.
void AddWebPage(httplib::Server& server);
// Whether `path` is one of the page's files: the only requests that need no
// token (the page asks for it).
bool IsPageFile(const std::string& path);

}  // namespace tablica::service
