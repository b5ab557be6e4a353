// The window by keyboard and by dropping a file: every command has its own
// underlined letter, the letters reach the commands, Esc closes.

#include <QApplication>
#include <QMimeData>
#include <QRegularExpression>
#include <QTabBar>
#include <map>
#include <set>
#include <stdexcept>

#include "obraz_fixture.h"

namespace tablica::obraz_testing {
namespace {

using ::testing::ElementsAre;

class ObrazKeysTest : public ObrazTest {
 protected:
  void ShowActiveWindow() {
    ShowWindow();
    Activate();
  }
  void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::AltModifier) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window.get();
    QTest::keyClick(target, key, modifiers);
  }
};

QChar Mnemonic(const QString& caption) {
  const QRegularExpressionMatch match =
      QRegularExpression(QStringLiteral("&([^&])")).match(caption);
  return match.hasMatch() ? match.captured(1).at(0).toLower() : QChar();
}

TEST_F(ObrazKeysTest, EveryControlHasAnUnderlinedLetterOfItsOwn) {
  ShowWindow();
  std::map<QChar, QString> owners;
  std::vector<QString> captions;
  for (const QPushButton* button : window->findChildren<QPushButton*>()) {
    captions.push_back(button->text());
  }
  for (const QLabel* label : window->findChildren<QLabel*>()) {
    if (label->buddy() != nullptr) captions.push_back(label->text());
  }
  const QTabBar& tabs = *Find<QTabWidget>("sourceTabs").tabBar();
  for (int i = 0; i < tabs.count(); ++i) captions.push_back(tabs.tabText(i));
  // Every control that takes a choice is reached through a label.
  std::set<const QWidget*> labelled;
  for (const QLabel* label : window->findChildren<QLabel*>()) labelled.insert(label->buddy());
  for (const char* name :
       {"placement", "dotsMethod", "level", "lit", "firstLine", "secondLine", "font", "size",
        "align", "seconds", "speed", "zoneX", "fromTime", "portList"}) {
    EXPECT_TRUE(labelled.count(&Find<QWidget>(name))) << name;
  }
  EXPECT_EQ(captions.size(), 26u);
  for (const QString& caption : captions) {
    const QChar letter = Mnemonic(caption);
    EXPECT_FALSE(letter.isNull()) << caption.toStdString();
    const auto [at, fresh] = owners.emplace(letter, caption);
    EXPECT_TRUE(fresh) << caption.toStdString() << " and " << at->second.toStdString();
  }
}

TEST_F(ObrazKeysTest, LettersReachTheirCommands) {
  ShowActiveWindow();
  Press(Qt::Key_T);
  EXPECT_EQ(Find<QTabWidget>("sourceTabs").currentIndex(), 1);
  Press(Qt::Key_1);
  EXPECT_TRUE(Find<QLineEdit>("firstLine").hasFocus());
  Press(Qt::Key_O);  // from the text tab, where the button is hidden
  EXPECT_EQ(openChooser.requests.size(), 1u);
  // A button's letter clicks it the way Qt animates it: a moment later.
  Press(Qt::Key_S);
  EXPECT_TRUE(QTest::qWaitFor([&] { return saveChooser.requests.size() == 1; }));
  Press(Qt::Key_W);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !shown.empty(); }));
  EXPECT_THAT(shown, ElementsAre("Nie wybrano portu komunikacyjnego."));
  Press(Qt::Key_B);
  EXPECT_EQ(Find<QTabWidget>("sourceTabs").currentIndex(), 0);
  Press(Qt::Key_U);
  EXPECT_TRUE(Find<QComboBox>("placement").hasFocus());
  Press(Qt::Key_Escape, Qt::NoModifier);
  EXPECT_FALSE(window->isVisible());
}

TEST_F(ObrazKeysTest, DroppedPictureBecomesTheSource) {
  ShowWindow();
  const std::filesystem::path picture = DrawPicture("upuszczony.png", QSize(256, 64), "PNG");
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(picture.string()))});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window.get(), &drop);
  EXPECT_EQ(PreviewDots(), picture::ConvertPictureFile(picture, {}).dots);
  EXPECT_GT(PreviewDots().LitCount(), 0);
}

// Each road to a dialog (the tab's button, the window's Alt+O, the save
// button) runs guarded: a failing dialog is reported and the window goes on.
TEST_F(ObrazKeysTest, FailingDialogIsReportedFromEveryRoadAndTheWindowGoesOn) {
  ShowActiveWindow();
  const auto fails = [] { throw std::runtime_error("Okno dialogowe zawiodło."); };
  openChooser.beforeAnswer = fails;
  saveChooser.beforeAnswer = fails;
  QTest::mouseClick(&Button("openButton"), Qt::LeftButton);
  Press(Qt::Key_O);
  QTest::mouseClick(&Button("saveButton"), Qt::LeftButton);
  EXPECT_THAT(errors, ElementsAre("Okno dialogowe zawiodło.", "Okno dialogowe zawiodło.",
                                  "Okno dialogowe zawiodło."));
  EXPECT_TRUE(window->isVisible());

  openChooser.beforeAnswer = nullptr;
  OpenThroughDialog(DrawPicture("po-bledzie.png", QSize(256, 64), "PNG"));
  EXPECT_GT(PreviewDots().LitCount(), 0);
}

}  // namespace
}  // namespace tablica::obraz_testing
