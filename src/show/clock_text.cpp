#include "show/clock_text.h"

#include <QLocale>
#include <string_view>

namespace tablica::show {

namespace {

constexpr std::string_view kTime = "{time:";
constexpr std::string_view kDate = "{date:";

// Where the next field starts at or after `from`, and which it is.
std::size_t NextField(const std::string& text, std::size_t from, bool& isTime) {
  const std::size_t time = text.find(kTime, from);
  const std::size_t date = text.find(kDate, from);
  isTime = time < date;
  const std::size_t start = isTime ? time : date;
  if (start == std::string::npos || text.find('}', start) == std::string::npos) {
    return std::string::npos;
  }
  return start;
}

}  // namespace

bool HasClock(const std::string& text) {
  bool isTime = false;
  return NextField(text, 0, isTime) != std::string::npos;
}

bool HasClock(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    if (HasClock(line)) return true;
  }
  return false;
}

std::string FillClock(const std::string& text, const QDateTime& local) {
  static const QLocale kPolish(QLocale::Polish, QLocale::Poland);
  std::string filled;
  std::size_t done = 0;
  bool isTime = false;
  for (std::size_t start = NextField(text, 0, isTime); start != std::string::npos;
       start = NextField(text, done, isTime)) {
    const std::size_t formatAt = start + kTime.size();  // both openings are as long
    const std::size_t end = text.find('}', formatAt);
    QString format = QString::fromStdString(text.substr(formatAt, end - formatAt));
    filled += text.substr(done, start - done);
    if (isTime) {
      if (format.isEmpty()) format = QStringLiteral("HH:mm");
      filled += kPolish.toString(local.time(), format).toStdString();
    } else {
      if (format.isEmpty()) format = QStringLiteral("d.MM.yyyy");
      filled += kPolish.toString(local.date(), format).toStdString();
    }
    done = end + 1;
  }
  return filled + text.substr(done);
}

std::vector<std::string> FillClock(const std::vector<std::string>& lines, const QDateTime& local) {
  std::vector<std::string> filled;
  filled.reserve(lines.size());
  for (const std::string& line : lines) filled.push_back(FillClock(line, local));
  return filled;
}

}  // namespace tablica::show
