#include <gtest/gtest.h>

#include <string>

#include "window_parts/guarded_application.h"
#include "window_test_kit.h"

int main(int argc, char** argv) {
  // The tests never need a display; listing them at build time must not
  // need one either.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  // The application object as a program that takes no command line makes
  // it: from the program's name alone (the tests are started with Qt's own
  // options on the command line, which must change nothing).
  tablica::GuardedApplication application(argv[0], [](const std::string& text) {
    tablica::window_testing::ApplicationErrors().push_back(text);
  });
  return RUN_ALL_TESTS();
}
