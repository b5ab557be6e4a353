// /api/stops in a build without live information: said, never a 404.

#include "service/http_routes.h"

namespace tablica::service {

void AddStopsRoute(httplib::Server& server) {
  server.Post("/api/stops", [](const httplib::Request&, httplib::Response& response) {
    Refuse(response, 501,
           "Ta wersja serwera nie czyta rozkładów jazdy (zbudowano ją bez informacji na żywo).");
  });
}

}  // namespace tablica::service
