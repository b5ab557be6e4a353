// Keys that work the window: Esc from anywhere, the Alt letters of the
// buttons, and Enter on the focused button only.

#include <QAbstractItemView>
#include <QDialog>

#include "window_fixture.h"

namespace tablica::window_testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST_F(WindowTest, EscClosesFromAnyControlWhateverTheModifiers) {
  const std::pair<const char*, Qt::KeyboardModifiers> cases[] = {
      {"ComboBox1", Qt::NoModifier},
      {"Button3", Qt::ShiftModifier},
      {"CheckBox1", Qt::ControlModifier | Qt::AltModifier},
  };
  for (const auto& [name, modifiers] : cases) {
    SCOPED_TRACE(name);
    ShowActiveWindow();
    QWidget& control = Find<QWidget>(name);
    control.setFocus();
    QTest::keyClick(&control, Qt::Key_Escape, modifiers);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->FirstBitmap(), nullptr);  // FormClose ran
    EXPECT_EQ(window->SecondBitmap(), nullptr);
    window.reset();
  }
}

TEST_F(WindowTest, EscInTheDroppedDownPortListClosesTheWindowToo) {
  WriteSettingsForPort(3);
  ShowActiveWindow();
  PortList().showPopup();
  QWidget* popup = QApplication::activePopupWidget();
  ASSERT_NE(popup, nullptr);
  QTest::keyClick(PortList().view(), Qt::Key_Escape);
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(popup->isVisible());
  EXPECT_EQ(settings.portNumber, 3);  // closing picks no entry
}

TEST_F(WindowTest, EscInAMessageOrDialogLeavesTheWindowOpen) {
  ShowActiveWindow();
  // The file dialog stands open while the window's own Esc handling is
  // asked about a key for a dialog of its own.
  chooser.beforeAnswer = [this] {
    QDialog dialog(window.get());
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
  };
  QTest::mouseClick(&Button("Button3"), Qt::LeftButton);
  EXPECT_TRUE(window->isVisible());
}

TEST_F(WindowTest, CloseButtonAndAltZCloseTheWindow) {
  ShowActiveWindow();
  QTest::mouseClick(&Button("Button2"), Qt::LeftButton);
  EXPECT_FALSE(window->isVisible());
  window.reset();

  ShowActiveWindow();
  QTest::keyClick(&PortList(), Qt::Key_Z, Qt::AltModifier);
  EXPECT_FALSE(window->isVisible());
}

TEST_F(WindowTest, AltOClicksTheFirstFileButtonEvenWithTheSecondGroupShown) {
  ShowActiveWindow();
  QTest::mouseClick(&Find<QCheckBox>("CheckBox1"), Qt::LeftButton);
  ASSERT_TRUE(Find<QGroupBox>("GroupBox3").isVisible());
  PortList().setFocus();
  const QString path = WriteOneBitPicture("obraz.bmp", [](int, int) { return false; });
  chooser.answers = {path, path};
  QTest::keyClick(&PortList(), Qt::Key_O, Qt::AltModifier);
  QTest::keyClick(&PortList(), Qt::Key_O, Qt::AltModifier);
  EXPECT_EQ(chooser.requests.size(), 2u);  // clicked twice, not a focus hop
  EXPECT_EQ(Find<QLineEdit>("Edit1").text(), path);
  EXPECT_TRUE(Find<QLineEdit>("Edit2").text().isEmpty());
  EXPECT_EQ(QApplication::focusWidget(), &PortList());
}

TEST_F(WindowTest, AltWSends) {
  ShowActiveWindow();
  QTest::keyClick(&PortList(), Qt::Key_W, Qt::AltModifier);
  EXPECT_THAT(shown, ElementsAre(messages::kNoPortChosen));
}

TEST_F(WindowTest, EnterClicksOnlyTheFocusedButton) {
  ShowActiveWindow();
  QPushButton& open = Button("Button3");
  open.setFocus();
  QTest::keyClick(&open, Qt::Key_Return);
  EXPECT_EQ(chooser.requests.size(), 1u);
  QTest::keyClick(&open, Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(chooser.requests.size(), 2u);

  // On a control that is no button Enter clicks nothing: no default button.
  QCheckBox& can = Find<QCheckBox>("CheckBox1");
  can.setFocus();
  QTest::keyClick(&can, Qt::Key_Return);
  PortList().setFocus();
  QTest::keyClick(&PortList(), Qt::Key_Return);
  EXPECT_EQ(chooser.requests.size(), 2u);
  EXPECT_FALSE(can.isChecked());
  EXPECT_THAT(shown, IsEmpty());
  EXPECT_TRUE(window->isVisible());

  Button("Button1").setFocus();
  QTest::keyClick(&Button("Button1"), Qt::Key_Return);
  EXPECT_THAT(shown, ElementsAre(messages::kNoPortChosen));
}

TEST_F(WindowTest, SpaceTicksTheCheckBoxLikeAClick) {
  ShowActiveWindow();
  QCheckBox& can = Find<QCheckBox>("CheckBox1");
  can.setFocus();
  QTest::keyClick(&can, Qt::Key_Space);
  EXPECT_TRUE(Find<QGroupBox>("GroupBox3").isVisible());
}

}  // namespace
}  // namespace tablica::window_testing
