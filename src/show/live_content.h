#pragma once

// Live content of a page or zone: a stop's departures, a line with a value
// out of a JSON document, the titles of an RSS or Atom feed. Each content
// asks its sources on a worker thread of its own, started when it begins
// to play (Start), so a slow or failing source never holds up the show: drawing
// shows the last good answer (the "none" text before the first one). A
// build without live information refuses these contents when a show is
// read (LiveContentBuilt).

#include <QDateTime>
#include <filesystem>
#include <memory>
#include <string>

#include "show/board_content.h"
#include "show/show_model.h"

namespace tablica::show {

// Whether this build can show live content.
bool LiveContentBuilt();

// Where timetables given by their addresses are kept once fetched (shared
// by every front end that fetches them, so one is fetched once).
std::filesystem::path FeedCacheFolder();

// The live content `model` describes, in the area its options give; null
// and a Polish sentence in `error` when it cannot be made.
std::unique_ptr<BoardContent> MakeLiveContent(const ContentModel& model, const QDateTime& now,
                                              std::string& error);

}  // namespace tablica::show
