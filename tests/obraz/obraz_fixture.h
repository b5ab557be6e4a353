#pragma once

// The real picture window, offscreen, on a board session over the fake
// serial platform, with both file dialogs, the message boxes and the
// questions replaced by recorders. The session's messages go through the
// window's own road (SessionMessages), as in the program.

#include <filesystem>
#include <memory>
#include <string>

#include <QAction>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include "gated_platform.h"
#include "obraz/board_play.h"
#include "obraz/board_preview.h"
#include "obraz/obraz_window.h"
#include "obraz/show_tab.h"
#include "picture/convert.h"
#include "show/show_file.h"
#include "window_test_kit.h"

namespace tablica::obraz_testing {

using window_testing::ScriptedFileChooser;

// Public throughout: the tables of choices drive the fixture from outside.
class ObrazTest : public window_testing::SessionWindowTest<ObrazWindow> {
 public:
  ~ObrazTest() override { CloseWindow(); }  // before the choosers go

  ObrazWindow& ShowWindow() {
    const BoardWindowServices services = Services();
    return Show(std::make_unique<ObrazWindow>(
        BoardWindowServices{windowSession, services.showMessage, services.showError,
                            services.settingsFile},
        openChooser, saveChooser, sessionMessages, [this](const std::string& question) {
          asked.push_back(question);
          return answer;
        }));
  }

  const BoardDots& PreviewDots() { return Find<BoardPreview>("preview").Dots(); }
  // Picks the entry of a choice list whose value is `value`, as a user would.
  template <class Value>
  void Pick(const char* list, Value value) {
    QComboBox& box = Find<QComboBox>(list);
    const int index = box.findData(static_cast<int>(value));
    ASSERT_GE(index, 0) << list;
    box.setCurrentIndex(index);
  }
  void ShowTextTab() { Find<QTabWidget>("sourceTabs").setCurrentIndex(1); }
  // Types `text` letter by letter, Polish letters included.
  void Type(const char* name, const char* text) {
    QLineEdit& line = Find<QLineEdit>(name);
    for (const QChar letter : QString::fromUtf8(text)) {
      QTest::sendKeyEvent(QTest::Click, &line, Qt::Key_unknown, QString(letter), Qt::NoModifier);
    }
  }

  // Replaces the text of line field `name` as a user would, ended by Return.
  void Enter(const char* name, const char* text) {
    QLineEdit& line = Find<QLineEdit>(name);
    line.setFocus();
    line.selectAll();
    QTest::keyClicks(&line, QString::fromUtf8(text));
    QTest::keyClick(&line, Qt::Key_Return);
  }

  // Saves the "Pokaz" tab's show as `name`, checks that the show library
  // reads `model` back from the file, and opens it again in a new window.
  void SaveReadAndReopenShow(const char* name, const show::ShowModel& model) {
    const std::filesystem::path saved = folder.path() / name;
    saveChooser.answers.push_back(QString::fromStdString(saved.string()));
    Find<QAction>("saveShow").trigger();
    const show::ShowModelResult read = show::ReadShowFile(saved);
    ASSERT_TRUE(read.show) << show::Sentence(read.error);
    EXPECT_EQ(*read.show, model);
    CloseWindow();
    ShowWindow();
    openChooser.answers.push_back(QString::fromStdString(saved.string()));
    Find<QTabWidget>("sourceTabs").setCurrentIndex(2);
    Find<QAction>("openShow").trigger();
    EXPECT_EQ(Find<ShowTab>("showTab").Show(), model);
  }

  // Opens `path` through "Otwórz obraz…".
  void OpenThroughDialog(const std::filesystem::path& path) {
    openChooser.answers.push_back(QString::fromStdString(path.string()));
    QTest::mouseClick(&Button("openButton"), Qt::LeftButton);
  }

  // A picture the tests draw: a grey ramp across it, a dark disc and a
  // light bar, so every choice of the conversion changes some dots.
  std::filesystem::path DrawPicture(const std::string& name, QSize size, const char* format) {
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y) {
      for (int x = 0; x < size.width(); ++x) {
        const int grey = 255 * x / size.width();
        image.setPixel(x, y, qRgba(grey, (grey + y) % 256, 255 - grey, y < 4 ? 0 : 255));
      }
    }
    QPainter painter(&image);
    painter.setBrush(QColor(20, 20, 20));
    painter.drawEllipse(QPoint(size.width() / 4, size.height() / 2), size.height() / 3,
                        size.height() / 3);
    painter.fillRect(size.width() / 2, size.height() / 3, size.width() / 3, size.height() / 6,
                     QColor(235, 235, 235));
    painter.end();
    const std::filesystem::path path = folder.path() / name;
    EXPECT_TRUE(image.save(QString::fromStdString(path.string()), format));
    return path;
  }

  ScriptedFileChooser openChooser;
  ScriptedFileChooser saveChooser;
  std::vector<std::string> asked;  // the questions put to the user
  bool answer = true;              // the user's answer to each
  SessionMessages sessionMessages{[this](const std::string& text) { RecordMessage(text); }};
  GatedPlatform gate{platform};  // the fake, with a gate before its writes
  BoardSession windowSession{gate, sessionMessages.Fn()};
};

}  // namespace tablica::obraz_testing
