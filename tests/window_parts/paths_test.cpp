// Paths between Qt's strings and the file system's: a name in Polish
// letters, typed into a dialog or dropped on a window, names the same file
// on the way in and on the way out.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <QDir>
#include <QFile>

#include "support/temp_folder.h"
#include "window_parts/paths.h"

namespace tablica::window_testing {
namespace {

TEST(PathsTest, PolishNamesReachTheSameFileBothWays) {
  testing_support::TempFolder folder;
  const QString folderText = ToQString(folder.path());
  ASSERT_EQ(ToPath(folderText), folder.path());
  for (const char* name : {"zażółć gęślą jaźń.bmp", "ŁÓDŹ KALISKA.BMP", "plain.bmp"}) {
    SCOPED_TRACE(name);
    const QString qtName = QString::fromUtf8(name);
    const std::filesystem::path path = ToPath(folderText + QLatin1Char('/') + qtName);
    std::ofstream(path, std::ios::binary) << "x";
    ASSERT_TRUE(std::filesystem::exists(path));
    // Qt finds the file under the name it was given, and the way back
    // spells it as it was spelt.
    EXPECT_TRUE(QFile::exists(QDir(folderText).filePath(qtName)));
    EXPECT_EQ(ToQString(path.filename()), qtName);
    EXPECT_EQ(ToPath(ToQString(path)), path);
  }
}

}  // namespace
}  // namespace tablica::window_testing
