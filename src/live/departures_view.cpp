#include "live/departures_view.h"

#include <QDateTime>

namespace tablica::live {

std::string WhenText(const Departure& departure, Instant now) {
  if (departure.cancelled) return "odwołany";
  const Instant seconds = departure.time - now;
  std::string when;
  if (seconds < 60) {
    when = "teraz";
  } else if (seconds < 3600) {
    when = std::to_string(seconds / 60) + " min";
  } else {
    when = QDateTime::fromSecsSinceEpoch(departure.time, departure.zone)
               .toString(QStringLiteral("HH:mm"))
               .toStdString();
  }
  if (departure.delay && *departure.delay >= 60) {
    when += " +" + std::to_string(*departure.delay / 60);
  }
  return when;
}

std::vector<std::string> DeparturesView::Lines() const {
  std::vector<std::string> lines;
  for (const DepartureRow& row : rows) lines.push_back(row.Text());
  if (lines.empty()) lines.push_back(none);
  if (!mark.empty()) lines.front() += " " + mark;
  return lines;
}

DeparturesView MakeView(const std::vector<Departure>& departures, Instant now, bool liveCurrent,
                        const std::string& none, std::vector<std::string> alerts) {
  DeparturesView view;
  view.none = none;
  if (!liveCurrent) view.mark = kTimetableMark;
  view.alerts = std::move(alerts);
  for (const Departure& departure : departures) {
    view.rows.push_back({departure.route, departure.headsign, WhenText(departure, now)});
  }
  return view;
}

}  // namespace tablica::live
