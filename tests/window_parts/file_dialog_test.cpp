// The real open dialog behind the main window's file buttons, answered with
// keystrokes: what it proposes, what it lists, what typed names it accepts.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <optional>

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "support/temp_folder.h"
#include "window_parts/file_dialogs.h"

namespace tablica::window_testing {
namespace {

using ::testing::UnorderedElementsAre;

class FileDialogTest : public ::testing::Test {
 protected:
  FileDialogTest() : previousFolder_(QDir::currentPath()) { QDir::setCurrent(Folder()); }
  ~FileDialogTest() override { QDir::setCurrent(previousFolder_); }

  QString Folder() const { return QString::fromStdString(folder_.path().string()); }
  QString InFolder(const QString& name) const {
    return QDir::toNativeSeparators(QDir(Folder()).absoluteFilePath(name));
  }
  void Touch(const QString& name) const {
    std::ofstream(QDir(Folder()).absoluteFilePath(name).toStdString()) << "x";
  }

  // Opens the dialog as the window does and lets `answer` work it.
  std::optional<QString> Choose(const QString& proposed,
                                const std::function<void(QFileDialog&)>& answer) {
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) {
        ADD_FAILURE() << "no file dialog came up";
        return;
      }
      answer(*dialog);
      if (dialog->isVisible()) {
        ADD_FAILURE() << "the dialog is still open";
        dialog->reject();
      }
    });
    // What the main window asks for.
    const FileChoice choice{QString::fromUtf8("Wybierz plik z bitmapą do wysłania."),
                            QStringLiteral("Bitmapa (*.bmp)"), QStringLiteral("BMP"), proposed};
    return OpenFileChooser().ChooseFile(nullptr, choice);
  }

  static void Type(QFileDialog& dialog, const QString& text) {
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    name->clear();
    QTest::keyClicks(name, text);
    QTest::keyClick(name, Qt::Key_Return);
  }

 private:
  testing_support::TempFolder folder_;
  QString previousFolder_;
};

TEST_F(FileDialogTest, OpensInTheWorkingFolderAndAddsTheDefaultExtension) {
  const auto chosen = Choose({}, [&](QFileDialog& dialog) {
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("Wybierz plik z bitmapą do wysłania."));
    EXPECT_EQ(dialog.directory().canonicalPath(), QDir(Folder()).canonicalPath());
    EXPECT_EQ(dialog.nameFilters(), QStringList{"Bitmapa (*.bmp)"});
    Type(dialog, "obraz");
  });
  EXPECT_EQ(chosen, InFolder("obraz.BMP"));
}

TEST_F(FileDialogTest, AcceptsTheTypedNameOfAMissingFile) {
  const auto chosen = Choose({}, [&](QFileDialog& dialog) { Type(dialog, "nie-ma.bmp"); });
  EXPECT_EQ(chosen, InFolder("nie-ma.bmp"));
}

TEST_F(FileDialogTest, ProposesTheLastFileInItsOwnFolder) {
  QDir(Folder()).mkdir("obrazy");
  Touch("obrazy/ostatni.bmp");
  const QString proposed = InFolder("obrazy/ostatni.bmp");
  const auto chosen = Choose(proposed, [&](QFileDialog& dialog) {
    EXPECT_EQ(dialog.directory().canonicalPath(), QDir(Folder() + "/obrazy").canonicalPath());
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->text(), "ostatni.bmp");
    QTest::keyClick(name, Qt::Key_Return);
  });
  EXPECT_EQ(chosen, proposed);
}

TEST_F(FileDialogTest, CancellingGivesNothing) {
  const auto chosen = Choose({}, [](QFileDialog& dialog) {
    QTest::keyClick(dialog.focusWidget() ? dialog.focusWidget() : &dialog, Qt::Key_Escape);
  });
  EXPECT_EQ(chosen, std::nullopt);
}

TEST_F(FileDialogTest, ListsBitmapsWhateverTheLetterCaseOfTheirExtension) {
  for (const char* name : {"A.BMP", "b.bmp", "c.Bmp", "d.txt", "e.bmp.txt"}) Touch(name);
  std::vector<std::string> listed;
  Choose({}, [&](QFileDialog& dialog) {
    auto* view = dialog.findChild<QAbstractItemView*>(QStringLiteral("listView"));
    ASSERT_NE(view, nullptr);
    const auto rows = [view] { return view->model()->rowCount(view->rootIndex()); };
    EXPECT_TRUE(QTest::qWaitFor([&] { return rows() >= 3; }, 5000));
    QTest::qWait(50);  // anything listed late would show up now
    for (int row = 0; row < rows(); ++row) {
      listed.push_back(
          view->model()->index(row, 0, view->rootIndex()).data().toString().toStdString());
    }
    dialog.reject();
  });
  EXPECT_THAT(listed, UnorderedElementsAre("A.BMP", "b.bmp", "c.Bmp"));
}

}  // namespace
}  // namespace tablica::window_testing
