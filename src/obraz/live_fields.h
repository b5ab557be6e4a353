#pragma once

#include <QWidget>
#include <string>

#include "show/show_model.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QSpinBox;
class QStackedWidget;

namespace tablica {

// Where the chosen page's (or zone's) live content takes its data: for
// departures the timetable (a file or an address), the stops (typed, or
// found by their names in the timetable file), the rows and the live
// feeds' addresses; for a data line the address, the JSON Pointer and
// the text around the value. Hidden for other contents.
class LiveFields final : public QWidget {
  Q_OBJECT

 public:
  explicit LiveFields(QWidget* parent = nullptr);

  // Shows `content`'s sources when it is live, else hides; saying nothing.
  void ShowContent(const show::ContentModel* content);

 signals:
  void LiveEdited(const show::LiveModel& live);
  // "…" beside the timetable: a file to be chosen.
  void FeedFileRequested();
  void Refused(const std::string& message);

 private:
  QWidget* MakeDepartures();
  QWidget* MakeData();
  void ShowValues();
  void Edited();
  void Search();
  void AddStop(const std::string& id);

  show::LiveModel shown_;
  QStackedWidget* kinds_ = nullptr;
  QWidget* departures_ = nullptr;
  QWidget* data_ = nullptr;
  QLineEdit* feed_ = nullptr;
  QLineEdit* stops_ = nullptr;
  QLineEdit* search_ = nullptr;
  QListWidget* found_ = nullptr;
  QLabel* foundNote_ = nullptr;
  QSpinBox* rows_ = nullptr;
  QLineEdit* realtime_ = nullptr;
  QLineEdit* alerts_ = nullptr;
  QLineEdit* url_ = nullptr;
  QLineEdit* pointer_ = nullptr;
  QLineEdit* text_ = nullptr;
};

}  // namespace tablica
