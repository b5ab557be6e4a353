#include <gtest/gtest.h>

#include <string>

#include "shell/window_look.h"
#include "window_parts/guarded_application.h"
#include "window_test_kit.h"

int main(int argc, char** argv) {
  // The window tests never need a display; listing them at build time must
  // not need one either.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  // The program's own application object, as the program makes it: from the
  // program's name alone (the tests are started with Qt's own options on
  // the command line, which must change nothing).
  tablica::GuardedApplication application(argv[0], [](const std::string& text) {
    tablica::window_testing::ApplicationErrors().push_back(text);
  });
  tablica::LoadWindowFont();
  tablica::ChooseWindowStyle();
  return RUN_ALL_TESTS();
}
