#pragma once

// The real main window, offscreen, on a board session over the fake serial
// platform, with the file dialog and the message boxes replaced by
// recorders.

#include <memory>
#include <string>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "shell/TZapisBitmapy.h"
#include "support/test_kit.h"
#include "window_test_kit.h"

namespace tablica::window_testing {

class WindowTest : public SessionWindowTest<TZapisBitmapy> {
 protected:
  ~WindowTest() override { CloseWindow(); }  // before the chooser goes

  // Creates the window and shows it, which runs FormShow.
  TZapisBitmapy& ShowWindow() { return Show(std::make_unique<TZapisBitmapy>(Services(), chooser)); }

  // Shows the window and makes it the active one, as keyboard tests need.
  TZapisBitmapy& ShowActiveWindow() {
    ShowWindow();
    return Activate();
  }

  QComboBox& PortList() { return Find<QComboBox>("ComboBox1"); }

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

  ScriptedFileChooser chooser;
};

}  // namespace tablica::window_testing
