#pragma once

// What the tests of both windows share: a file dialog answered from a
// script, and a fixture that runs a real window offscreen on a board
// session over the fake serial platform, with a folder of its own for the
// settings file and recorders for the messages and errors.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <QApplication>
#include <QPushButton>
#include <QTest>

#include "serial/comm_settings.h"
#include "serial/serial_link.h"
#include "session/board_session.h"
#include "support/fake_serial_platform.h"
#include "support/temp_folder.h"
#include "window_parts/board_window.h"
#include "window_parts/file_dialogs.h"

namespace tablica::window_testing {

// What escaped from the handling of an event to the test program's
// application object (made by each test program's main).
std::vector<std::string>& ApplicationErrors();

// Answers a window's file dialog from a queue; with the queue empty the
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

// A window of type `Window` on the session of the test; public throughout,
// so tables of cases can drive it from outside. A fixture whose window
// refers to members of its own closes it in its destructor (CloseWindow).
template <class Window>
class SessionWindowTest : public ::testing::Test {
 public:
  ~SessionWindowTest() override { CloseWindow(); }

  // The settings file the window reads when first shown.
  std::filesystem::path SettingsFile() const { return folder.path() / "ustaw.txt"; }
  void WriteSettings(const std::string& text) {
    std::ofstream(SettingsFile(), std::ios::binary) << text;
  }
  void WriteSettingsForPort(int port) { WriteSettings("Port " + std::to_string(port) + "\n"); }

  // What the window is given: the session, the recorders, the settings file.
  BoardWindowServices Services() {
    return {session, [this](const std::string& text) { RecordMessage(text); },
            [this](const std::string& text) { errors.push_back(text); }, SettingsFile()};
  }

  // Shows the window, which runs its first showing.
  Window& Show(std::unique_ptr<Window> made) {
    window = std::move(made);
    window->show();
    return *window;
  }
  // Makes the shown window the active one, as keyboard tests need.
  Window& Activate() {
    QApplication::setActiveWindow(window.get());
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    return *window;
  }
  // Closes the window as the user would, then lets it go.
  void CloseWindow() {
    if (window) window->close();
    window.reset();
  }

  template <class Widget>
  Widget& Find(const char* name) {
    auto* widget = window->template findChild<Widget*>(QString::fromLatin1(name));
    if (widget == nullptr) throw std::runtime_error(std::string("no widget ") + name);
    return *widget;
  }
  QPushButton& Button(const char* name) { return Find<QPushButton>(name); }

  void RecordMessage(const std::string& text) {
    shown.push_back(text);
    shownWhileVisible.push_back(window != nullptr && window->isVisible());
  }

  testing_support::TempFolder folder;
  testing::FakeSerialPlatform platform;
  std::vector<std::string> shown;       // the program's own messages, in order
  std::vector<bool> shownWhileVisible;  // whether the window was on screen for each
  std::vector<std::string> errors;      // exceptions that escaped a command
  BoardSession session{platform, [this](const std::string& text) { RecordMessage(text); }};
  const CommSettings& settings = session.Settings();  // the port number lives here
  std::unique_ptr<Window> window;
};

}  // namespace tablica::window_testing
