// Large photographs read for the screen: the decode scale that still covers
// a box, and loads that use it (upright, whole size known) or read whole.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <string>

#include "imageio/image_ex.h"
#include "imageio/library_io.h"
#include "support/test_support.h"

using testing_support::TempDir;

namespace {

// A w x h picture, red on its left half and blue on its right; as JPEG it may
// carry an EXIF orientation asking for a quarter turn clockwise.
void writePhotograph(const std::string& path, int w, int h, const char* format, bool turned) {
  QImage picture(w, h, QImage::Format_RGB32);
  picture.fill(qRgb(0, 0, 230));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w / 2; ++x) picture.setPixel(x, y, qRgb(230, 0, 0));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  ASSERT_TRUE(picture.save(&buffer, format, 92));
  testing_support::writeFileBytes(path, bytes.toStdString());
  if (turned) testing_support::tagOrientation(path, 6);
}

TEST(CoveringReduction, LargestScaleThatStillCoversTheFittedPicture) {
  struct Case {
    int fullWidth, fullHeight, boxWidth, boxHeight, reduction;
  };
  const Case cases[] = {
      {4000, 3000, 1920, 1080, 2},  // fitted 1440 x 1080; 1/4 is 1000 x 750
      {4000, 3000, 800, 600, 4},    // 1/4 is 1000 x 750, 1/8 only 500 x 375
      {4000, 3000, 500, 375, 8},    // 1/8 exactly
      {4000, 3000, 501, 376, 4},    // just past 1/8
      {4001, 3001, 500, 375, 8},    // sides rounded up: 501 x 376
      {8000, 6000, 96, 96, 8},      // never below 1/8
      {4000, 3000, 3000, 3000, 1},  // fitted 3000 x 2250: 1/2 falls short
      {1920, 1080, 1920, 1080, 1},  // fits as it is
      {300, 200, 1920, 1080, 1},    // smaller than the box
      {3000, 4000, 1920, 1080, 2},  // portrait: fitted 810 x 1080
      {12000, 100, 1000, 1000, 8},  // a strip: fitted 1000 x 8
      {0, 3000, 800, 600, 1},       // nothing to scale
      {4000, 3000, 0, 600, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(coveringReduction(c.fullWidth, c.fullHeight, c.boxWidth, c.boxHeight), c.reduction)
        << c.fullWidth << "x" << c.fullHeight << " in " << c.boxWidth << "x" << c.boxHeight;
  }
}

TEST(ReducedLoad, JpegIsDecodedAtTheCoveringScale) {
  TempDir dir;
  const std::string path = dir.file("large.jpg");
  writePhotograph(path, 4000, 3000, "JPEG", false);
  struct Case {
    int boxWidth, boxHeight, width, height, reduction;
  };
  const Case cases[] = {
      {1920, 1080, 2000, 1500, 2},
      {800, 600, 1000, 750, 4},
      {200, 200, 500, 375, 8},
      {4000, 3000, 4000, 3000, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.boxWidth);
    CImageEx image;
    ReducedLoad load;
    ASSERT_TRUE(LoadReducedWithImageLibrary(path, c.boxWidth, c.boxHeight, image, load));
    EXPECT_EQ(image.GetWidth(), c.width);
    EXPECT_EQ(image.GetHeight(), c.height);
    EXPECT_EQ(load.reduction, c.reduction);
    EXPECT_EQ(load.fullWidth, 4000);
    EXPECT_EQ(load.fullHeight, 3000);
    // The same picture, only smaller: red left, blue right.
    EXPECT_GT(colorRed(image.GetPixel(c.width / 4, c.height / 2)), 180u);
    EXPECT_GT(colorBlue(image.GetPixel(c.width * 3 / 4, c.height / 2)), 180u);
  }
}

TEST(ReducedLoad, TurnedPhotographIsReducedUpright) {
  TempDir dir;
  const std::string path = dir.file("turned.jpg");
  writePhotograph(path, 4000, 2000, "JPEG", true);
  CImageEx image;
  ASSERT_TRUE(image.LoadImageFileForScreen(path, 500, 1000));
  // Stored 4000 x 2000, shown 2000 x 4000: a quarter of that covers the box.
  EXPECT_EQ(image.GetWidth(), 500);
  EXPECT_EQ(image.GetHeight(), 1000);
  EXPECT_EQ(image.FullWidth(), 2000);
  EXPECT_EQ(image.FullHeight(), 4000);
  EXPECT_TRUE(image.IsReduced());
  // Turned clockwise: the red half on top.
  EXPECT_GT(colorRed(image.GetPixel(250, 250)), 180u);
  EXPECT_GT(colorBlue(image.GetPixel(250, 750)), 180u);
}

TEST(ReducedLoad, ReadersWithoutReducedDecodeReadWhole) {
  TempDir dir;
  const std::string path = dir.file("large.bmp");
  writePhotograph(path, 1600, 1200, "BMP", false);
  CImageEx image;
  ASSERT_TRUE(image.LoadImageFileForScreen(path, 200, 150));
  EXPECT_EQ(image.GetWidth(), 1600);
  EXPECT_FALSE(image.IsReduced());
  EXPECT_TRUE(image.CoversBox(200, 150));
}

TEST(ReducedLoad, ReducedImageKnowsWhichBoxesItCovers) {
  TempDir dir;
  const std::string path = dir.file("large.jpg");
  writePhotograph(path, 4000, 3000, "JPEG", false);
  CImageEx image;
  ASSERT_TRUE(image.LoadImageFileForScreen(path, 800, 600));
  ASSERT_EQ(image.GetWidth(), 1000);
  EXPECT_TRUE(image.CoversBox(800, 600));
  EXPECT_TRUE(image.CoversBox(400, 300));
  EXPECT_FALSE(image.CoversBox(1920, 1080));
  // Fitting uses the whole picture's proportions.
  image.FitInto(1000, 1000);
  EXPECT_EQ(image.m_nDrawWidth, 1000);
  EXPECT_EQ(image.m_nDrawHeight, 750);
  // A copy keeps what it shows; a whole load forgets the reduction.
  const CImageEx copy = image;
  EXPECT_TRUE(copy.IsReduced());
  EXPECT_EQ(copy.FullWidth(), 4000);
  ASSERT_TRUE(image.LoadImageFile(path, false));
  EXPECT_FALSE(image.IsReduced());
  EXPECT_EQ(image.GetWidth(), 4000);
  EXPECT_EQ(image.FullWidth(), 4000);
}

TEST(ReducedLoad, UnreadableFileLeavesTheImageEmptyWithAReason) {
  TempDir dir;
  const std::string path = dir.file("torn.jpg");
  testing_support::writeFileBytes(path, "not a picture");
  CImageEx image;
  std::string why;
  image.LoadImageFileForScreen(path, 800, 600, &why);
  EXPECT_TRUE(image.IsNull());
  EXPECT_FALSE(image.IsReduced());
  EXPECT_FALSE(why.empty());
}

}  // namespace
