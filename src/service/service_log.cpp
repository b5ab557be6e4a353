#include "service/service_log.h"

#include <QDateTime>

namespace tablica::service {

void ServiceLog::Line(const std::string& text) {
  const std::string line =
      QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString() +
      " " + text + "\n";
  std::lock_guard lock(mutex_);
  std::fputs(line.c_str(), out_);
  std::fflush(out_);
}

}  // namespace tablica::service
