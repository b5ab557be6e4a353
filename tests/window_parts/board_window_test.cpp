// What every window that sends to the board gets from BoardWindow: its first
// step runs once, before the window appears, and its commands run guarded.

#include <stdexcept>

#include <QPushButton>

#include "window_test_kit.h"

namespace tablica::window_testing {
namespace {

using ::testing::ElementsAre;

// The least window: records its first showings and has one command, which
// fails on request.
class LeastWindow final : public BoardWindow {
 public:
  explicit LeastWindow(BoardWindowServices services) : BoardWindow(std::move(services)) {
    button = new QPushButton(QStringLiteral("&Polecenie"), this);
    button->setObjectName(QStringLiteral("command"));
    connect(button, &QPushButton::clicked, this, GuardedSlot(&LeastWindow::Command));
  }

  std::vector<bool> firstShowings;  // whether the window was visible at each
  int commands = 0;
  bool fail = false;
  QPushButton* button = nullptr;

 protected:
  void FirstShowing() override { firstShowings.push_back(isVisible()); }

 private:
  void Command() {
    ++commands;
    if (fail) throw std::runtime_error("Polecenie się nie udało.");
  }
};

using BoardWindowTest = SessionWindowTest<LeastWindow>;

TEST_F(BoardWindowTest, FirstStepRunsOnceBeforeTheWindowAppears) {
  LeastWindow& least = Show(std::make_unique<LeastWindow>(Services()));
  EXPECT_TRUE(least.isVisible());
  least.hide();
  least.show();
  least.setVisible(true);
  EXPECT_THAT(least.firstShowings, ElementsAre(false));
}

TEST_F(BoardWindowTest, FailingCommandIsReportedAndTheWindowGoesOn) {
  const std::size_t escapedBefore = ApplicationErrors().size();
  LeastWindow& least = Show(std::make_unique<LeastWindow>(Services()));
  least.fail = true;
  QTest::mouseClick(least.button, Qt::LeftButton);
  least.fail = false;
  QTest::mouseClick(least.button, Qt::LeftButton);
  EXPECT_EQ(least.commands, 2);
  EXPECT_THAT(errors, ElementsAre("Polecenie się nie udało."));
  EXPECT_TRUE(least.isVisible());
  // The window's guard caught it, not the application object's.
  EXPECT_EQ(ApplicationErrors().size(), escapedBefore);
}

}  // namespace
}  // namespace tablica::window_testing
