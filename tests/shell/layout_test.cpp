// The window as the user first sees it: geometry, captions, states, fonts
// and the order in which Tab visits the controls.

#include <QFontInfo>
#include <QScreen>
#include <QStyleOptionButton>

#include "shell/heading_label.h"
#include "shell/window_look.h"
#include "window_fixture.h"

namespace tablica::window_testing {
namespace {

struct Placement {
  const char* name;
  const char* parent;
  QRect geometry;
};

const Placement kPlacements[] = {
    {"Label1", "TZapisBitmapy", {48, 8, 316, 24}},
    {"GroupBox1", "TZapisBitmapy", {24, 40, 369, 57}},
    {"ComboBox1", "GroupBox1", {144, 22, 73, 21}},
    {"Button1", "TZapisBitmapy", {216, 408, 81, 25}},
    {"Button2", "TZapisBitmapy", {128, 408, 81, 25}},
    {"GroupBox2", "TZapisBitmapy", {24, 104, 369, 129}},
    {"Image1", "GroupBox2", {120, 80, 128, 33}},
    {"Button3", "GroupBox2", {112, 16, 145, 25}},
    {"Edit1", "GroupBox2", {8, 48, 353, 21}},
    {"CheckBox1", "TZapisBitmapy", {24, 240, 273, 17}},
    {"GroupBox3", "TZapisBitmapy", {24, 264, 369, 129}},
    {"Image2", "GroupBox3", {120, 88, 129, 33}},
    {"Button4", "GroupBox3", {112, 24, 145, 25}},
    {"Edit2", "GroupBox3", {8, 56, 353, 21}},
};

QString WithoutMnemonic(QString text) {
  return text.remove(QLatin1Char('&'));
}

TEST_F(WindowTest, EveryControlSitsWhereTheLayoutPutsIt) {
  ShowWindow();
  for (const Placement& placement : kPlacements) {
    SCOPED_TRACE(placement.name);
    const QWidget& widget = Find<QWidget>(placement.name);
    EXPECT_EQ(widget.geometry(), placement.geometry);
    ASSERT_NE(widget.parentWidget(), nullptr);
    EXPECT_EQ(widget.parentWidget()->objectName(), QString::fromLatin1(placement.parent));
  }
}

TEST_F(WindowTest, WindowIsFixedSizeWithMinimizeAndCloseButNoMaximize) {
  ShowWindow();
  EXPECT_EQ(window->windowTitle(), QString::fromUtf8("Zapis bitmapy do tablicy informacyjnej."));
  EXPECT_EQ(window->size(), QSize(421, 440));
  EXPECT_EQ(window->minimumSize(), QSize(421, 440));
  EXPECT_EQ(window->maximumSize(), QSize(421, 440));
  const Qt::WindowFlags flags = window->windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));

  // The whole window, its frame included where the system draws one, sits
  // in the middle of the screen.
  const QPoint screenCentre = window->screen()->geometry().center();
  EXPECT_LE((window->frameGeometry().center() - screenCentre).manhattanLength(), 4);
}

TEST_F(WindowTest, CaptionsAndStartingStates) {
  ShowWindow();
  EXPECT_EQ(Find<QLabel>("Label1").text(), "Zapis bitmapy do tablicy informacyjnej");
  EXPECT_EQ(Find<QGroupBox>("GroupBox1").title(),
            QString::fromUtf8("Nr portu do którego podłączona jest tablica informacyjna"));
  EXPECT_EQ(Find<QGroupBox>("GroupBox2").title(), QString::fromUtf8("Wybierz bitmapę"));
  EXPECT_EQ(Find<QGroupBox>("GroupBox3").title(),
            QString::fromUtf8("Wybierz bitmapę dla drugiej tablicy"));
  EXPECT_EQ(Button("Button1").text(), QString::fromUtf8("&Wyślij"));
  EXPECT_EQ(Button("Button2").text(), QString::fromUtf8("&Zamknij"));
  EXPECT_EQ(Button("Button3").text(), QString::fromUtf8("&Otwórz plik z bitmapą"));
  EXPECT_EQ(Button("Button4").text(), QString::fromUtf8("&Otwórz plik z drugą bitmapą"));
  EXPECT_EQ(Find<QCheckBox>("CheckBox1").text(),
            QString::fromUtf8("Prześlij drugą bitmapę poprzez CAN do drugiej tablicy."));

  EXPECT_FALSE(Find<QCheckBox>("CheckBox1").isChecked());
  EXPECT_FALSE(Find<QGroupBox>("GroupBox3").isVisible());
  for (const char* name : {"Edit1", "Edit2"}) {
    SCOPED_TRACE(name);
    const auto& box = Find<QLineEdit>(name);
    EXPECT_FALSE(box.isEnabled());
    EXPECT_TRUE(box.text().isEmpty());
  }
  for (const char* name : {"Image1", "Image2"}) {
    SCOPED_TRACE(name);
    const auto& view = Find<QLabel>(name);
    EXPECT_TRUE(view.pixmap().isNull());
    EXPECT_FALSE(view.hasScaledContents());
    EXPECT_EQ(view.alignment() & (Qt::AlignLeft | Qt::AlignTop), Qt::AlignLeft | Qt::AlignTop);
  }
  for (const char* name : {"Button1", "Button2", "Button3", "Button4"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(Button(name).isDefault());
    EXPECT_FALSE(Button(name).autoDefault());
  }
}

TEST_F(WindowTest, PortListHoldsSixtyFourPortsAndBrakInOrder) {
  ShowWindow();
  QComboBox& list = PortList();
  EXPECT_FALSE(list.isEditable());
  ASSERT_EQ(list.count(), 65);
  for (int port = 1; port <= 64; ++port) {
    EXPECT_EQ(list.itemText(port - 1), QStringLiteral("COM %1").arg(port));
  }
  EXPECT_EQ(list.itemText(64), "Brak");
}

// Every caption must show whole in its box with the window's own font.
TEST_F(WindowTest, EveryCaptionFitsItsControlInTheWindowFont) {
  ShowWindow();
  // "MS Sans Serif" on Linux; its TrueType twin on Windows (window_font_windows.cpp).
  EXPECT_EQ(QFontInfo(window->font()).family(), WindowFace());
  EXPECT_EQ(QFontInfo(Find<QLabel>("Label1").font()).family(), WindowFace());

  for (const char* name : {"Button1", "Button2", "Button3", "Button4"}) {
    SCOPED_TRACE(name);
    const QPushButton& button = Button(name);
    const int textWidth = button.fontMetrics().horizontalAdvance(WithoutMnemonic(button.text()));
    EXPECT_LE(textWidth + 8, button.width());
  }
  for (const char* name : {"GroupBox1", "GroupBox2", "GroupBox3"}) {
    SCOPED_TRACE(name);
    const QGroupBox& group = Find<QGroupBox>(name);
    EXPECT_LE(group.fontMetrics().horizontalAdvance(group.title()) + 16, group.width());
  }
  const auto& heading = Find<HeadingLabel>("Label1");
  EXPECT_LE(heading.CaptionWidth(), heading.width());

  const QCheckBox& check = Find<QCheckBox>("CheckBox1");
  QStyleOptionButton option;
  option.initFrom(&check);
  option.text = check.text();
  const QRect contents =
      check.style()->subElementRect(QStyle::SE_CheckBoxContents, &option, &check);
  EXPECT_LE(check.fontMetrics().horizontalAdvance(check.text()), contents.width());
}

// The heading is drawn about twice the body text's size: its ink spans far
// more than the same words in the window's 11-pixel face would.
TEST_F(WindowTest, HeadingIsDrawnInTheLargerSize) {
  ShowWindow();
  const QImage heading = Find<QLabel>("Label1").grab().toImage();
  const QColor background = heading.pixelColor(heading.width() - 1, heading.height() - 1);
  QRect ink;
  for (int y = 0; y < heading.height(); ++y) {
    for (int x = 0; x < heading.width(); ++x) {
      if (heading.pixelColor(x, y) != background) ink |= QRect(x, y, 1, 1);
    }
  }
  const int bodyWidth =
      QFontMetrics(window->font()).horizontalAdvance(Find<QLabel>("Label1").text());
  EXPECT_GT(ink.width(), bodyWidth * 5 / 4);
  EXPECT_GE(ink.height(), 16);
  EXPECT_LE(ink.right(), 316);
}

TEST_F(WindowTest, TabVisitsTheControlsInLayoutOrder) {
  ShowActiveWindow();
  EXPECT_EQ(QApplication::focusWidget(), &PortList());
  const auto focusName = [] {
    return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
  };
  const auto tab = [&] {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    return focusName();
  };
  EXPECT_EQ(tab(), "Button1");
  EXPECT_EQ(tab(), "Button2");
  EXPECT_EQ(tab(), "Button3");
  EXPECT_EQ(tab(), "CheckBox1");
  EXPECT_EQ(tab(), "ComboBox1");

  QTest::mouseClick(&Find<QCheckBox>("CheckBox1"), Qt::LeftButton);
  Find<QCheckBox>("CheckBox1").setFocus();
  EXPECT_EQ(tab(), "Button4");
  EXPECT_EQ(tab(), "ComboBox1");
}

}  // namespace
}  // namespace tablica::window_testing
