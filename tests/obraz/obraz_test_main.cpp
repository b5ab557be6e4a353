#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  // The window tests never need a display; listing them at build time must
  // not need one either.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
