// A picture opened once for many conversions gives, for every choice, the
// dots that converting its file in one go gives (the road tablica-convert
// takes), also where large files are decoded at the board's size. (A file
// that cannot be opened is checked through the window, tests/obraz.)

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <filesystem>

#include <gtest/gtest.h>

#include "picture/convert.h"
#include "support/temp_folder.h"

namespace tablica::picture {
namespace {

class PreparedPictureTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "prepared_picture_test";
    static char* argv[] = {name, nullptr};
    PrepareHeadlessGui();
    if (!QGuiApplication::instance()) new QGuiApplication(argc, argv);
  }

  // A ramp with a disc and a half-transparent band, saved as `format`.
  std::filesystem::path Saved(const char* name, QSize size, const char* format) {
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y) {
      for (int x = 0; x < size.width(); ++x) {
        image.setPixel(x, y,
                       qRgba(255 * x / size.width(), 128, 90, y < size.height() / 5 ? 60 : 255));
      }
    }
    QPainter painter(&image);
    painter.setBrush(Qt::black);
    painter.drawEllipse(QPoint(size.width() / 3, size.height() / 2), size.height() / 4,
                        size.height() / 4);
    painter.end();
    const std::filesystem::path path = folder.path() / name;
    EXPECT_TRUE(image.save(QString::fromStdString(path.string()), format));
    return path;
  }

  testing_support::TempFolder folder;
};

TEST_F(PreparedPictureTest, EveryChoiceGivesTheDotsOfConvertingTheFile) {
  for (const std::filesystem::path& file :
       {Saved("maly.png", {300, 200}, "PNG"), Saved("duzy.jpg", {2400, 1800}, "JPEG")}) {
    PreparedPicture picture;
    ASSERT_EQ(picture.Open(file), "");
    for (Placement placement :
         {Placement::Fit, Placement::Fill, Placement::Stretch, Placement::None}) {
      for (LitSide lit : {LitSide::Dark, LitSide::Bright}) {
        for (DotsMethod method :
             {DotsMethod::Threshold, DotsMethod::Diffusion, DotsMethod::Ordered}) {
          ConvertOptions options;
          options.placement = placement;
          options.lit = lit;
          options.dots = method;
          SCOPED_TRACE(file.filename().string() + " " + std::string(NameOf(placement)) + " " +
                       std::string(NameOf(lit)) + " " + std::string(NameOf(method)));
          const DotsResult once = ConvertPictureFile(file, options);
          ASSERT_TRUE(once.Ok()) << once.error;
          EXPECT_EQ(picture.Convert(options).dots, once.dots);
        }
      }
    }
  }
}

}  // namespace
}  // namespace tablica::picture
