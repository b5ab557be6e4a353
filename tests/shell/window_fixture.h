#pragma once

// The real main window, offscreen, with the serial platform, the file
// dialog and the message boxes replaced by recorders.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "serial/serial_link.h"
#include "shell/TZapisBitmapy.h"
#include "shell/file_chooser.h"
#include "support/bmp_writer.h"
#include "support/fake_serial_platform.h"
#include "support/temp_folder.h"

namespace tablica::window_testing {

// Answers the window's file dialog from a queue; with the queue empty the
// user cancels. Records every request.
class ScriptedFileChooser final : public FileChooser {
 public:
  std::deque<std::optional<QString>> answers;
  std::vector<FileChoice> requests;
  std::function<void()> beforeAnswer;  // e.g. throws, to stand for a failing dialog

  std::optional<QString> ChooseFile(QWidget* /*parent*/, const FileChoice& choice) override {
    requests.push_back(choice);
    if (beforeAnswer) beforeAnswer();
    if (answers.empty()) return std::nullopt;
    std::optional<QString> answer;
    answer.swap(answers.front());
    answers.pop_front();
    return answer;
  }
};

class WindowTest : public ::testing::Test {
 protected:
  ~WindowTest() override {
    if (window) window->close();
  }

  // Writes the settings file the window reads when first shown.
  void WriteSettings(const std::string& text) {
    std::ofstream(SettingsFile(), std::ios::binary) << text;
  }
  void WriteSettingsForPort(int port) { WriteSettings("Port " + std::to_string(port) + "\n"); }
  std::filesystem::path SettingsFile() const { return folder.path() / "ustaw.txt"; }

  // Creates the window and shows it, which runs FormShow.
  TZapisBitmapy& ShowWindow() {
    window = std::make_unique<TZapisBitmapy>(WindowServices{
        link, frame, chooser, [this](const std::string& text) { RecordMessage(text); },
        [this](const std::string& text) { errors.push_back(text); }, SettingsFile()});
    window->show();
    return *window;
  }

  // Shows the window and makes it the active one, as keyboard tests need.
  TZapisBitmapy& ShowActiveWindow() {
    ShowWindow();
    QApplication::setActiveWindow(window.get());
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    return *window;
  }

  template <class Widget>
  Widget& Find(const char* name) {
    auto* widget = window->findChild<Widget*>(QString::fromLatin1(name));
    if (widget == nullptr) throw std::runtime_error(std::string("no widget ") + name);
    return *widget;
  }
  QComboBox& PortList() { return Find<QComboBox>("ComboBox1"); }
  QPushButton& Button(const char* name) { return Find<QPushButton>(name); }

  // What the list's drop-down does when the user clicks an entry.
  void PickEntry(int index) {
    PortList().setCurrentIndex(index);
    emit PortList().activated(index);
  }

  // A 1-bit picture file in the test folder; `dark(x, y)` marks the dots
  // whose colour-table index is 0 (black).
  template <class Dark>
  QString WriteOneBitPicture(const std::string& name, Dark dark, int width = 128, int height = 32) {
    testing::BmpLayout layout;
    layout.width = width;
    layout.height = height;
    layout.rows =
        testing::OneBitRows(width, height, [&](int x, int y) { return dark(x, y) ? 0 : 1; });
    const std::filesystem::path path = folder.path() / name;
    testing::WriteBytes(path, testing::MakeBmp(layout));
    return QString::fromStdString(path.string());
  }

  void RecordMessage(const std::string& text) {
    shown.push_back(text);
    shownWhileVisible.push_back(window != nullptr && window->isVisible());
  }

  testing_support::TempFolder folder;
  testing::FakeSerialPlatform platform;
  CommSettings settings;
  std::vector<std::string> shown;       // the program's own messages, in order
  std::vector<bool> shownWhileVisible;  // whether the window was on screen for each
  std::vector<std::string> errors;      // exceptions that escaped a command
  SerialLink link{settings, platform, [this](const std::string& text) { RecordMessage(text); }};
  BoardFrame frame;
  ScriptedFileChooser chooser;
  std::unique_ptr<TZapisBitmapy> window;
};

}  // namespace tablica::window_testing
