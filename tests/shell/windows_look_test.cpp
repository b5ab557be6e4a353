// The window's Windows ways, in the Windows build only (tests/wine): the
// typeface it is drawn in and the file dialog it opens.

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QRawFont>

#include "shell/window_look.h"
#include "window_parts/file_dialogs.h"

namespace tablica::window_testing {
namespace {

// The window asks for "MS Sans Serif" in outlines and gets Windows'
// TrueType twin of the face: 8 points (11 pixels) for its text, 12 points
// (16 pixels) for its heading. The bitmap MS Sans Serif is there too, as on
// Windows (the prefix has Wine's copy of it), and must not be taken.
TEST(WindowsLook, TextAndHeadingAreTheTwinOfMsSansSerifAtEightAndTwelvePoints) {
  ASSERT_TRUE(LoadWindowFont());
  const struct {
    const char* what;
    QFont font;
    int pixels;
  } cases[] = {{"text", BodyFont(), 11}, {"heading", HeadingFont(), 16}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.font.family(), "MS Sans Serif");
    const QFontInfo drawn(c.font);
    EXPECT_EQ(drawn.family(), "Microsoft Sans Serif");
    EXPECT_EQ(drawn.pixelSize(), c.pixels);
  }
  EXPECT_FALSE(HeadingFace().isValid());  // no font file of the program's
}

// Wine differs: it has no Microsoft Sans Serif. The tests' prefix (and the
// offscreen platform's font folder) hold a stand-in drawn from Wine's
// metric-compatible MS Sans Serif bitmaps (tests/wine/window_font_stand_in.py),
// and that is what the window is drawn in here.
TEST(WindowsLook, UnderWineTheTwinIsTheTestsStandIn) {
  ASSERT_TRUE(LoadWindowFont());
  const QByteArray names = QRawFont::fromFont(BodyFont()).fontTable("name");
  EXPECT_TRUE(names.contains(QByteArray("stand-in for the tests")))
      << "the name table does not name the stand-in";
}

// The file buttons open the system's own dialog on Windows.
TEST(WindowsLook, FileDialogIsTheSystemsOwn) {
  QFileDialog dialog;
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  ChooseDialogKind(dialog);
  EXPECT_FALSE(dialog.testOption(QFileDialog::DontUseNativeDialog));
}

}  // namespace
}  // namespace tablica::window_testing
