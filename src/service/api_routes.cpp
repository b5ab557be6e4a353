// The board's routes: what it shows and what it is told to show.

#include <span>

#include "service/http_routes.h"
#include "service/notice_request.h"
#include "service/request_content.h"
#include "service/service_json.h"
#include "service/site_rules.h"

namespace tablica::service {

namespace {

constexpr const char* kJson = "application/json; charset=utf-8";
constexpr int kUnprocessable = 422;

struct Taken {
  std::optional<Content> content;
  int status = 200;
  std::string error;
};

// The body, read as it comes (chunked or not) and never past `limit`.
std::optional<std::string> ReadBody(const httplib::ContentReader& reader, std::uint64_t limit) {
  std::string body;
  bool tooLong = false;
  reader([&](const char* data, std::size_t length) {
    tooLong = body.size() + length > limit;
    if (!tooLong) body.append(data, length);
    return !tooLong;
  });
  if (tooLong) return std::nullopt;
  return body;
}

// The request's body as content, checked whole: JSON (a show or one page)
// or a picture with the options of the address.
Taken TakeContent(BoardService& service, const httplib::Request& request, const std::string& body,
                  bool notify) {
  const PictureQuery query = PictureOptionsFromQuery(request.params, notify);
  if (!query.error.empty()) return {std::nullopt, 400, query.error};
  ContentResult made;
  const BodyKind kind = BodyKindOf(request.get_header_value("Content-Type"));
  if (kind == BodyKind::Refused) {
    return {std::nullopt, 415, "Nieobsługiwany typ treści (nagłówek Content-Type)."};
  }
  if (kind == BodyKind::Json) {
    if (HasPictureOptions(request.params)) {
      return {std::nullopt, 400,
              "Opcje obrazu w adresie (place, dots, threshold, lit) działają tylko z obrazem "
              "przysłanym jako ciało zapytania; w JSON-ie podaj je jako pola."};
    }
    made = service.JsonContent(body);
  } else {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(body.data());
    made = service.PictureContent(std::span(bytes, body.size()), query.options);
  }
  if (!made.content) return {std::nullopt, made.tooLarge ? 413 : kUnprocessable, made.error};
  return {std::move(made.content), 200, {}};
}

void Answer(httplib::Response& response, const std::string& json) {
  response.status = 200;
  response.set_content(json, kJson);
}

class BoardRoutes {
 public:
  BoardRoutes(BoardService& service, const HttpSetup& setup) : service_(service), setup_(setup) {}

  void Show(const httplib::Request& request, httplib::Response& response,
            const httplib::ContentReader& reader) {
    const auto body = Body(request, response, reader);
    if (!body) return;
    Taken taken = TakeContent(service_, request, *body, false);
    if (!taken.content) return Refused(request, response, taken);
    if (!service_.Play(std::move(*taken.content))) {
      return Refused(
          request, response,
          {std::nullopt, 409, "Nie pokazano tej treści: zanim była gotowa, przyszła nowsza."});
    }
    Answer(response, OkJson());
  }

  void Notify(const httplib::Request& request, httplib::Response& response,
              const httplib::ContentReader& reader) {
    auto body = Body(request, response, reader);
    if (!body) return;
    const NoticeFieldsResult query = NoticeFieldsOfQuery(request.params);
    if (!query.error.empty()) return Refused(request, response, {std::nullopt, 400, query.error});
    NoticeFieldsResult inBody;
    if (BodyKindOf(request.get_header_value("Content-Type")) == BodyKind::Json) {
      inBody = TakeNoticeFields(*body);
      if (!inBody.error.empty()) {
        return Refused(request, response, {std::nullopt, 400, inBody.error});
      }
    }
    Taken taken = TakeContent(service_, request, *body, true);
    if (!taken.content) return Refused(request, response, taken);
    const NoticeOptionsResult options =
        NoticeOptionsOf(query.fields, inBody.fields, taken.content->Seconds());
    if (!options.options) {
      return Refused(request, response, {std::nullopt, 400, options.error});
    }
    const NotifyResult queued = service_.Notify(std::move(*taken.content), *options.options);
    if (queued.id.empty()) return Refused(request, response, {std::nullopt, 429, queued.error});
    Answer(response, NotifiedJson(queued.id));
  }

  void Preview(const httplib::Request& request, httplib::Response& response,
               const httplib::ContentReader& reader) {
    const auto body = Body(request, response, reader);
    if (!body) return;
    Taken taken = TakeContent(service_, request, *body, false);
    if (!taken.content) return Refuse(response, taken.status, taken.error);
    Answer(response, BoardJson(taken.content->FirstDots()));
  }

 private:
  // The body, or a refusal when it is longer than the limit (a chunked
  // body has no length to refuse it by before it comes).
  std::optional<std::string> Body(const httplib::Request& request, httplib::Response& response,
                                  const httplib::ContentReader& reader) {
    std::optional<std::string> body = ReadBody(reader, setup_.maxUpload);
    if (!body) {
      Refused(request, response,
              {std::nullopt, 413,
               "Przesłane dane są za duże: najwyżej " + std::to_string(setup_.maxUpload) +
                   " bajtów (opcja --max-upload)."});
      response.set_header("Connection", "close");
    }
    return body;
  }

  void Refused(const httplib::Request& request, httplib::Response& response, const Taken& taken) {
    if (setup_.log) {
      setup_.log("Odrzucono " + request.method + " " + request.path + ": " + taken.error);
    }
    Refuse(response, taken.status, taken.error);
  }

  BoardService& service_;
  const HttpSetup& setup_;
};

}  // namespace

void AddBoardRoutes(httplib::Server& server, BoardService& service, const HttpSetup& setup) {
  auto routes = std::make_shared<BoardRoutes>(service, setup);
  server.Get("/api/status", [&service](const httplib::Request&, httplib::Response& response) {
    Answer(response, StatusJson(service.Status()));
  });
  server.Get("/api/board.json", [&service](const httplib::Request&, httplib::Response& response) {
    Answer(response, BoardJson(service.BoardNow()));
  });
  server.Get("/api/board.png", [&service](const httplib::Request&, httplib::Response& response) {
    response.status = 200;
    response.set_content(BoardPng(service.BoardNow()), "image/png");
  });
  server.Post("/api/board", [routes](const httplib::Request& request, httplib::Response& response,
                                     const httplib::ContentReader& reader) {
    routes->Show(request, response, reader);
  });
  server.Post("/api/notify", [routes](const httplib::Request& request, httplib::Response& response,
                                      const httplib::ContentReader& reader) {
    routes->Notify(request, response, reader);
  });
  server.Get("/api/notify", [&service](const httplib::Request&, httplib::Response& response) {
    Answer(response, NoticesJson(service.Notices()));
  });
  server.Delete("/api/notify", [&service](const httplib::Request&, httplib::Response& response) {
    service.CancelNotices();
    Answer(response, OkJson());
  });
  server.Delete(R"(/api/notify/([^/]+))",
                [&service](const httplib::Request& request, httplib::Response& response) {
                  const std::string id = request.matches[1];
                  if (!service.CancelNotice(id)) {
                    return Refuse(response, 404, "Nie ma w kolejce powiadomienia o tym id.");
                  }
                  Answer(response, OkJson());
                });
  server.Post("/api/preview", [routes](const httplib::Request& request, httplib::Response& response,
                                       const httplib::ContentReader& reader) {
    routes->Preview(request, response, reader);
  });
  server.Delete("/api/board", [&service](const httplib::Request&, httplib::Response& response) {
    service.Blank();
    Answer(response, OkJson());
  });
}

}  // namespace tablica::service
