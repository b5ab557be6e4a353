// The application object: an exception escaping the handling of an event
// is reported and the event loop goes on; Qt's own command-line options do
// nothing.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QObject>
#include <QStringList>
#include <QWidget>
#include <QWindow>

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

// The test program is started with "-reverse -platform minimal -qwindowtitle
// Obcy" after its own arguments (tests/window_parts/CMakeLists.txt), as a user might
// start the program. Qt must see none of it.
TEST(GuardedApplicationTest, QtsOwnCommandLineOptionsDoNothing) {
  EXPECT_EQ(QCoreApplication::arguments().size(), 1);
  EXPECT_EQ(QGuiApplication::layoutDirection(), Qt::LeftToRight);
  EXPECT_NE(QGuiApplication::platformName(), "minimal");
  QWidget first;
  first.setWindowTitle(QStringLiteral("Okno"));
  first.show();
  EXPECT_EQ(first.windowHandle()->title(), QStringLiteral("Okno"));
}

}  // namespace
}  // namespace tablica::window_testing
