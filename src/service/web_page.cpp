// The web page, served from the program's own resources: nothing is
// fetched from anywhere else, and no file of the machine is read.

#include <QFile>
#include <memory>

#include "service/http_routes.h"

namespace tablica::service {

namespace {

struct WebFile {
  const char* path;
  const char* resource;
  const char* type;
};

constexpr WebFile kFiles[] = {
    {"/", ":/web/index.html", "text/html; charset=utf-8"},
    {"/app.js", ":/web/app.js", "text/javascript; charset=utf-8"},
    {"/style.css", ":/web/style.css", "text/css; charset=utf-8"},
};

}  // namespace

bool IsPageFile(const std::string& path) {
  for (const WebFile& file : kFiles) {
    if (path == file.path) return true;
  }
  return false;
}

void AddWebPage(httplib::Server& server) {
  for (const WebFile& file : kFiles) {
    QFile resource(QString::fromLatin1(file.resource));
    auto bytes = std::make_shared<const std::string>(
        resource.open(QIODevice::ReadOnly) ? resource.readAll().toStdString() : std::string());
    const std::string type = file.type;
    server.Get(file.path, [bytes, type](const httplib::Request&, httplib::Response& response) {
      response.set_header("Content-Security-Policy",
                          "default-src 'self'; img-src 'self' data: blob:; frame-ancestors 'none'");
      response.set_header("Cache-Control", "no-cache");
      response.set_content(*bytes, type);
    });
  }
}

}  // namespace tablica::service
