// The live board: server-sent events, one "frame" event per frame written,
// its JSON as FrameJson makes it; the first is the board as it is.

#include <chrono>

#include "service/http_routes.h"

namespace tablica::service {

namespace {

// A comment line this often keeps proxies from closing a quiet stream and
// finds listeners that have gone.
constexpr std::chrono::seconds kKeepAlive{10};

}  // namespace

void AddLiveRoute(httplib::Server& server, LiveFeed& feed) {
  server.Get("/api/live", [&feed](const httplib::Request&, httplib::Response& response) {
    std::shared_ptr<LiveListener> listener = feed.Join();
    if (!listener) {
      Refuse(response, 503,
             "Tablicę na żywo ogląda już najwięcej odbiorców naraz; spróbuj za chwilę.");
      response.set_header("Retry-After", "10");
      return;
    }
    // A reverse proxy passes every event on at once.
    response.set_header("X-Accel-Buffering", "no");
    response.set_chunked_content_provider("text/event-stream",
                                          [listener](std::size_t offset, httplib::DataSink& sink) {
                                            std::string json;
                                            std::string text = offset == 0 ? "retry: 3000\n\n" : "";
                                            switch (listener->Next(kKeepAlive, json)) {
                                              case LiveListener::Took::Frame:
                                                text += "event: frame\ndata: " + json + "\n\n";
                                                break;
                                              case LiveListener::Took::Nothing:
                                                text += ":\n\n";
                                                break;
                                              case LiveListener::Took::Closed:
                                                sink.done();
                                                return true;
                                            }
                                            return sink.write(text.data(), text.size());
                                          });
  });
}

}  // namespace tablica::service
