// The show tests draw text and read pictures: one Qt application for them all.

#include <gtest/gtest.h>

#include "picture_gui.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  tablica::testing::EnsurePictureGui();
  return RUN_ALL_TESTS();
}
