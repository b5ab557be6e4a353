// The port list and the open port: what the first showing opens and
// selects, and every way a pick moves the port (closing, opening, falling
// back to the previous choice).

#include <QAbstractItemView>

#include "window_fixture.h"

namespace tablica::window_testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::string CannotOpen(int port) {
  return messages::CannotOpenPort(static_cast<std::uint8_t>(port));
}

// --- the first showing ---

TEST_F(WindowTest, WithoutSettingsFileNoPortIsOpenedAndTheListShowsBrak) {
  ShowWindow();
  EXPECT_EQ(PortList().currentIndex(), 64);
  EXPECT_EQ(PortList().currentText(), "Brak");
  EXPECT_EQ(settings.portNumber, kNoPort);
  EXPECT_THAT(platform.calls, IsEmpty());
  EXPECT_THAT(shown, IsEmpty());
  ASSERT_NE(window->FirstBitmap(), nullptr);
  ASSERT_NE(window->SecondBitmap(), nullptr);
  EXPECT_TRUE(window->FirstBitmap()->IsEmpty());
  EXPECT_TRUE(window->SecondBitmap()->IsEmpty());
}

TEST_F(WindowTest, SettingsWithoutAPortNumberAreTreatedAsNoPort) {
  WriteSettings("Ustawienia\n");
  ShowWindow();
  EXPECT_EQ(PortList().currentText(), "Brak");
  EXPECT_THAT(platform.calls, IsEmpty());
  EXPECT_THAT(shown, IsEmpty());
}

TEST_F(WindowTest, PortFromSettingsIsOpenedAndSelected) {
  WriteSettingsForPort(3);
  ShowWindow();
  EXPECT_EQ(PortList().currentText(), "COM 3");
  EXPECT_EQ(settings.portNumber, 3);
  EXPECT_EQ(platform.openPorts, 1);
  EXPECT_EQ(platform.CountCalls("open COM3"), 1);
  EXPECT_THAT(shown, IsEmpty());
}

TEST_F(WindowTest, PortFromSettingsThatFailsIsReportedBeforeTheWindowAppears) {
  WriteSettingsForPort(3);
  platform.failingOpens.insert("COM3");
  ShowWindow();
  EXPECT_THAT(shown, ElementsAre(CannotOpen(3)));
  EXPECT_THAT(shownWhileVisible, ElementsAre(false));
  EXPECT_TRUE(window->isVisible());
  // An empty field, not "Brak".
  EXPECT_EQ(PortList().currentIndex(), -1);
  EXPECT_TRUE(PortList().currentText().isEmpty());
  EXPECT_EQ(settings.portNumber, kNoPort);
}

TEST_F(WindowTest, PortBeyondTheListIsOpenedButNoEntryIsShown) {
  WriteSettingsForPort(100);
  ShowWindow();
  EXPECT_EQ(settings.portNumber, 100);
  EXPECT_EQ(platform.openPorts, 1);
  EXPECT_EQ(platform.CountCalls("open \\\\.\\COM100"), 1);
  EXPECT_EQ(PortList().currentIndex(), -1);
  EXPECT_THAT(shown, IsEmpty());
}

// --- picks, one row of the port-state table each ---

TEST_F(WindowTest, PickingBrakWithoutAPortClosesNothing) {
  ShowWindow();
  PickEntry(64);
  EXPECT_EQ(settings.portNumber, kNoPort);
  EXPECT_THAT(platform.calls, IsEmpty());
  EXPECT_THAT(shown, IsEmpty());
}

TEST_F(WindowTest, PickingBrakClosesTheOpenPort) {
  WriteSettingsForPort(3);
  ShowWindow();
  PickEntry(64);
  EXPECT_EQ(settings.portNumber, kNoPort);
  EXPECT_EQ(platform.openPorts, 0);
  EXPECT_EQ(platform.calls.back(), "close COM3");
  EXPECT_EQ(PortList().currentText(), "Brak");
}

TEST_F(WindowTest, PickingAPortClosesTheOldOneBeforeOpeningTheNew) {
  WriteSettingsForPort(3);
  ShowWindow();
  platform.calls.clear();
  PickEntry(4);
  EXPECT_EQ(settings.portNumber, 5);
  EXPECT_EQ(platform.openPorts, 1);
  ASSERT_GE(platform.calls.size(), 2u);
  EXPECT_EQ(platform.calls[0], "close COM3");
  EXPECT_EQ(platform.calls[1], "open COM5");
  EXPECT_EQ(PortList().currentText(), "COM 5");
  EXPECT_THAT(shown, IsEmpty());
}

TEST_F(WindowTest, PickingAPortWithoutOneOpensIt) {
  ShowWindow();
  PickEntry(11);
  EXPECT_EQ(settings.portNumber, 12);
  EXPECT_EQ(platform.CountCalls("open \\\\.\\COM12"), 1);
  EXPECT_EQ(platform.openPorts, 1);
}

TEST_F(WindowTest, FailedPickWithoutAPortGoesBackToBrak) {
  platform.failingOpens.insert("COM5");
  ShowWindow();
  PickEntry(4);
  EXPECT_THAT(shown, ElementsAre(CannotOpen(5)));
  EXPECT_EQ(PortList().currentText(), "Brak");
  EXPECT_EQ(settings.portNumber, kNoPort);
  EXPECT_EQ(platform.CountCalls("open"), 1);
  EXPECT_EQ(platform.openPorts, 0);
}

TEST_F(WindowTest, FailedPickReopensThePreviousPort) {
  WriteSettingsForPort(3);
  platform.failingOpens.insert("COM5");
  ShowWindow();
  platform.calls.clear();
  PickEntry(4);
  EXPECT_THAT(shown, ElementsAre(CannotOpen(5)));
  EXPECT_EQ(PortList().currentText(), "COM 3");
  EXPECT_EQ(settings.portNumber, 3);
  EXPECT_THAT(platform.calls, ::testing::Contains("open COM3"));
  EXPECT_EQ(platform.calls[0], "close COM3");
  EXPECT_EQ(platform.calls[1], "open COM5");
  EXPECT_EQ(platform.openPorts, 1);
}

TEST_F(WindowTest, FailedPickWhosePreviousPortAlsoFailsLeavesNoPort) {
  WriteSettingsForPort(3);
  ShowWindow();
  platform.failingOpens = {"COM5", "COM3"};
  PickEntry(4);
  EXPECT_THAT(shown, ElementsAre(CannotOpen(5), CannotOpen(3)));
  EXPECT_EQ(PortList().currentText(), "COM 3");  // the list keeps showing it
  EXPECT_EQ(settings.portNumber, kNoPort);
  EXPECT_EQ(platform.openPorts, 0);
}

TEST_F(WindowTest, FailedPickAfterAPortBeyondTheListReopensIt) {
  WriteSettingsForPort(100);
  platform.failingOpens.insert("COM5");
  ShowWindow();
  PickEntry(4);
  EXPECT_THAT(shown, ElementsAre(CannotOpen(5)));
  EXPECT_EQ(PortList().currentIndex(), -1);
  EXPECT_EQ(settings.portNumber, 100);
  EXPECT_EQ(platform.CountCalls("open \\\\.\\COM100"), 2);
  EXPECT_EQ(platform.openPorts, 1);
}

TEST_F(WindowTest, RepickingTheOpenPortWithTheMouseClosesAndReopensIt) {
  WriteSettingsForPort(3);
  ShowActiveWindow();
  platform.calls.clear();
  QComboBox& list = PortList();
  list.showPopup();
  QAbstractItemView* view = list.view();
  const QRect entry = view->visualRect(view->model()->index(2, 0));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, entry.center());
  ASSERT_GE(platform.calls.size(), 2u);
  EXPECT_EQ(platform.calls[0], "close COM3");
  EXPECT_EQ(platform.calls[1], "open COM3");
  EXPECT_EQ(platform.CountCalls("open"), 1);
  EXPECT_EQ(settings.portNumber, 3);
  EXPECT_EQ(platform.openPorts, 1);
}

TEST_F(WindowTest, EveryArrowKeyStepIsOnePick) {
  WriteSettingsForPort(3);
  platform.failingOpens.insert("COM5");
  ShowActiveWindow();
  QComboBox& list = PortList();
  list.setFocus();
  QTest::keyClick(&list, Qt::Key_Down);  // COM 4 opens
  EXPECT_EQ(settings.portNumber, 4);
  EXPECT_EQ(platform.CountCalls("open COM4"), 1);
  QTest::keyClick(&list, Qt::Key_Down);  // COM 5 fails: back on COM 4, opened anew
  EXPECT_THAT(shown, ElementsAre(CannotOpen(5)));
  EXPECT_EQ(list.currentText(), "COM 4");
  EXPECT_EQ(settings.portNumber, 4);
  EXPECT_EQ(platform.CountCalls("open COM4"), 2);
  QTest::keyClick(&list, Qt::Key_Up);  // COM 3 again
  EXPECT_EQ(settings.portNumber, 3);
  EXPECT_EQ(platform.CountCalls("open COM3"), 2);
  EXPECT_EQ(platform.openPorts, 1);
}

TEST_F(WindowTest, BrakFollowedBySendReportsNoPort) {
  WriteSettingsForPort(3);
  ShowWindow();
  PickEntry(64);
  QTest::mouseClick(&Button("Button1"), Qt::LeftButton);
  EXPECT_THAT(shown, ElementsAre(messages::kNoPortChosen));
  EXPECT_EQ(platform.CountCalls("write"), 0);
}

}  // namespace
}  // namespace tablica::window_testing
