// The application object: an exception escaping the handling of an event
// is reported and the event loop goes on.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

namespace tablica::window_testing {

std::vector<std::string>& ApplicationErrors();

namespace {

using ::testing::ElementsAre;

class ThrowsOnUserEvents final : public QObject {
 public:
  int delivered = 0;

 protected:
  bool event(QEvent* event) override {
    if (event->type() != QEvent::User) return QObject::event(event);
    ++delivered;
    if (delivered == 1) throw std::runtime_error("Za mało pamięci.");
    if (delivered == 2) throw 7;
    return true;
  }
};

TEST(GuardedApplicationTest, ExceptionFromAnEventIsReportedAndTheLoopGoesOn) {
  ApplicationErrors().clear();
  ThrowsOnUserEvents object;
  for (int i = 0; i < 3; ++i) QCoreApplication::postEvent(&object, new QEvent(QEvent::User));
  QCoreApplication::sendPostedEvents(&object, QEvent::User);
  EXPECT_EQ(object.delivered, 3);
  EXPECT_THAT(ApplicationErrors(), ElementsAre("Za mało pamięci.", "Wystąpił nieoczekiwany błąd."));
}

}  // namespace
}  // namespace tablica::window_testing
