#include "show/show_when.h"

#include <QRegularExpression>
#include <algorithm>

namespace tablica::show {

namespace {

bool DayHolds(const WhenRule& rule, const QDate& day) {
  if (!rule.days.empty() &&
      std::find(rule.days.begin(), rule.days.end(), day.dayOfWeek()) == rule.days.end()) {
    return false;
  }
  if (rule.dates.empty()) return true;
  const std::chrono::year_month_day date = DayOf(day);
  return std::any_of(rule.dates.begin(), rule.dates.end(), [&date](const DateRange& range) {
    return range.first <= date && date <= range.last;
  });
}

std::optional<QDate> DateOfText(const QString& text) {
  static const QRegularExpression kDate(QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})$"));
  const QRegularExpressionMatch match = kDate.match(text);
  if (!match.hasMatch()) return std::nullopt;
  const QDate date(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
  if (!date.isValid()) return std::nullopt;
  return date;
}

}  // namespace

bool WhenHolds(const WhenRule& rule, const QDateTime& local) {
  const QTime time = local.time();
  const int minute = time.hour() * 60 + time.minute();
  const int from = rule.from.value_or(0);
  const int to = rule.to.value_or(kMinutesADay);
  QDate day = local.date();
  if (from < to) {
    if (minute < from || minute >= to) return false;
  } else if (minute < to) {
    day = day.addDays(-1);  // the part after midnight of a range begun the day before
  } else if (minute < from) {
    return false;
  }
  return DayHolds(rule, day);
}

std::optional<int> MinuteOfDay(std::string_view text, bool endOfDay) {
  static const QRegularExpression kTime(QStringLiteral("^(\\d{2}):(\\d{2})$"));
  const QRegularExpressionMatch match =
      kTime.match(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  if (!match.hasMatch()) return std::nullopt;
  const int hour = match.captured(1).toInt();
  const int minute = match.captured(2).toInt();
  if (hour == 24 && minute == 0 && endOfDay) return kMinutesADay;
  if (hour > 23 || minute > 59) return std::nullopt;
  return hour * 60 + minute;
}

std::string DayTimeText(int minutes) {
  return QStringLiteral("%1:%2")
      .arg(minutes / 60, 2, 10, QLatin1Char('0'))
      .arg(minutes % 60, 2, 10, QLatin1Char('0'))
      .toStdString();
}

std::optional<DateRange> DateRangeOfText(std::string_view text) {
  const QString whole = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  const qsizetype dots = whole.indexOf(QStringLiteral(".."));
  const std::optional<QDate> first = DateOfText(dots < 0 ? whole : whole.left(dots));
  const std::optional<QDate> last = dots < 0 ? first : DateOfText(whole.mid(dots + 2));
  if (!first || !last || *last < *first) return std::nullopt;
  return DateRange{DayOf(*first), DayOf(*last)};
}

std::string DateRangeText(const DateRange& range) {
  const auto text = [](const std::chrono::year_month_day& day) {
    return DateOf(day).toString(QStringLiteral("yyyy-MM-dd")).toStdString();
  };
  return range.first == range.last ? text(range.first)
                                   : text(range.first) + ".." + text(range.last);
}

std::chrono::year_month_day DayOf(const QDate& date) {
  return std::chrono::year_month_day{std::chrono::year(date.year()),
                                     std::chrono::month(static_cast<unsigned>(date.month())),
                                     std::chrono::day(static_cast<unsigned>(date.day()))};
}

QDate DateOf(const std::chrono::year_month_day& day) {
  return QDate(static_cast<int>(day.year()), static_cast<int>(static_cast<unsigned>(day.month())),
               static_cast<int>(static_cast<unsigned>(day.day())));
}

}  // namespace tablica::show
