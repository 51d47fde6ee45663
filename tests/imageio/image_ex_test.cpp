// The shell's raster: fitting, drawing, thumbnails, copies and the count of
// live rasters.
#include "imageio/image_ex.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <filesystem>
#include <thread>
#include <vector>

#include "imageio/image_library.h"
#include "imageio/library_io.h"
#include "support/test_support.h"

using testing_support::TempDir;
using testing_support::writeFileBytes;

namespace {

CImageEx filled(int width, int height, std::uint32_t colour) {
  CImageEx image;
  EXPECT_TRUE(image.Create(width, height, 24));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.SetPixel(x, y, colour);
  return image;
}

struct Rect {
  int x, y, w, h;
};

Rect fitted(int width, int height, int boxWidth, int boxHeight) {
  CImageEx image = filled(width, height, 0);
  image.FitInto(boxWidth, boxHeight);
  return {image.m_nDrawX, image.m_nDrawY, image.m_nDrawWidth, image.m_nDrawHeight};
}

void expectRect(const Rect& r, int x, int y, int w, int h) {
  EXPECT_EQ(r.x, x);
  EXPECT_EQ(r.y, y);
  EXPECT_EQ(r.w, w);
  EXPECT_EQ(r.h, h);
}

}  // namespace

TEST(FitInto, WorkedExamples) {
  expectRect(fitted(200, 100, 96, 96), 0, 24, 96, 48);
  expectRect(fitted(100, 200, 96, 96), 24, 0, 48, 96);
  expectRect(fitted(48, 48, 96, 96), 0, 0, 96, 96);
}

TEST(FitInto, TruncatesAndScalesUpAndDown) {
  // 3 x 7 into 96: e = 96/7 < g = 32, scale 13.714..., width 41.14 -> 41,
  // x = trunc((96 - 41.14) / 2) = 27.
  expectRect(fitted(3, 7, 96, 96), 27, 0, 41, 96);
  // 1000 x 333 into 96: g = 0.096, height 31.968 -> 31, y = trunc(32.016) = 32.
  expectRect(fitted(1000, 333, 96, 96), 0, 32, 96, 31);
  // A non-square box.
  expectRect(fitted(400, 300, 640, 200), 186, 0, 266, 200);
  // Equal ratios take the width branch.
  expectRect(fitted(50, 50, 10, 10), 0, 0, 10, 10);
}

TEST(FitInto, EmptyImageGetsAnEmptyRectangle) {
  CImageEx image;
  image.SetDrawRect(1, 2, 3, 4);
  image.FitInto(96, 96);
  expectRect({image.m_nDrawX, image.m_nDrawY, image.m_nDrawWidth, image.m_nDrawHeight}, 0, 0, 0, 0);
}

TEST(Thumbnail, BackgroundShowsTheBaseType) {
  const std::pair<std::uint16_t, QRgb> cases[] = {
      {kBaseTypePCA, qRgb(127, 0, 0)},
      {kBaseTypeICA, qRgb(0, 0, 127)},
      {kBaseTypeOther, qRgb(127, 127, 127)},
      {kBaseTypeUninspected, qRgb(127, 127, 127)},
  };
  for (const auto& [baseType, background] : cases) {
    CImageEx image = filled(200, 100, makeColorWord(0, 255, 0));
    image.m_nBaseType = baseType;
    image.FitInto(THUMBNAIL_SIZE, THUMBNAIL_SIZE);
    QImage thumb;
    ASSERT_TRUE(image.MakeThumbnail(thumb));
    ASSERT_EQ(thumb.width(), 96);
    ASSERT_EQ(thumb.height(), 96);
    // Rows 0-23 and 72-95 are background, 24-71 the image.
    for (int x : {0, 50, 95}) {
      EXPECT_EQ(thumb.pixel(x, 0), background) << baseType;
      EXPECT_EQ(thumb.pixel(x, 23), background) << baseType;
      EXPECT_EQ(thumb.pixel(x, 24), qRgb(0, 255, 0)) << baseType;
      EXPECT_EQ(thumb.pixel(x, 71), qRgb(0, 255, 0)) << baseType;
      EXPECT_EQ(thumb.pixel(x, 72), background) << baseType;
    }
  }
}

TEST(Thumbnail, EmptyImageShowsOnlyTheBackground) {
  CImageEx image;
  image.FitInto(96, 96);
  QImage thumb;
  ASSERT_TRUE(image.MakeThumbnail(thumb));
  for (int y = 0; y < 96; y += 19)
    for (int x = 0; x < 96; x += 19) EXPECT_EQ(thumb.pixel(x, y), qRgb(127, 127, 127));
}

TEST(DrawAtRect, PlainStretchWithoutSmoothing) {
  // A 2 x 1 image, black and white, stretched to 8 x 4: no grey in between.
  CImageEx image = filled(2, 1, 0);
  image.SetPixel(1, 0, makeColorWord(255, 255, 255));
  image.SetDrawRect(2, 1, 8, 4);
  QImage canvas(12, 6, QImage::Format_RGB32);
  canvas.fill(qRgb(1, 2, 3));
  {
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    image.DrawAtRect(painter);
  }
  for (int y = 1; y < 5; ++y) {
    for (int x = 2; x < 10; ++x)
      EXPECT_EQ(canvas.pixel(x, y), x < 6 ? qRgb(0, 0, 0) : qRgb(255, 255, 255)) << x << "," << y;
    EXPECT_EQ(canvas.pixel(1, y), qRgb(1, 2, 3));
    EXPECT_EQ(canvas.pixel(10, y), qRgb(1, 2, 3));
  }
  EXPECT_EQ(canvas.pixel(5, 0), qRgb(1, 2, 3));
  EXPECT_EQ(canvas.pixel(5, 5), qRgb(1, 2, 3));
}

TEST(ImageEx, CopiesOwnTheirPixels) {
  CImageEx a = filled(5, 4, makeColorWord(10, 20, 30));
  a.m_nBaseType = kBaseTypeICA;
  a.SetDrawRect(1, 2, 3, 4);
  CImageEx b(a);
  EXPECT_NE(a.GetBits(), b.GetBits());
  b.SetPixel(0, 0, makeColorWord(1, 1, 1));
  EXPECT_EQ(a.GetPixel(0, 0), makeColorWord(10, 20, 30));
  EXPECT_EQ(b.m_nBaseType, kBaseTypeICA);
  EXPECT_EQ(b.m_nDrawHeight, 4);
  CImageEx c;
  c = b;
  EXPECT_NE(c.GetBits(), b.GetBits());
  EXPECT_EQ(c.GetPixel(0, 0), makeColorWord(1, 1, 1));
  EXPECT_EQ(c.GetPixel(4, 3), makeColorWord(10, 20, 30));
}

TEST(ImageLibrary, CountsLiveRastersAndStopsWithTheLast) {
  const int before = imageio::liveRasterCount();
  {
    CImageEx a;
    EXPECT_EQ(imageio::liveRasterCount(), before + 1);
    {
      CImageEx b(a);
      CImageEx c;
      c = a;  // assignment makes no new raster
      EXPECT_EQ(imageio::liveRasterCount(), before + 3);
    }
    EXPECT_EQ(imageio::liveRasterCount(), before + 1);
    std::vector<CImageEx> many(10);
    EXPECT_EQ(imageio::liveRasterCount(), before + 11);
  }
  EXPECT_EQ(imageio::liveRasterCount(), before);
  ASSERT_EQ(before, 0);  // nothing else in this test program keeps a raster

  EXPECT_FALSE(imageio::imageLibraryStarted());
  {
    CImageEx image;
    EXPECT_FALSE(imageio::imageLibraryStarted());  // started on first use only
    LoadWithImageLibrary(testing_support::corpusPath("aqua.jpg"), image);
    EXPECT_TRUE(imageio::imageLibraryStarted());
    { CImageEx other; }
    EXPECT_TRUE(imageio::imageLibraryStarted());  // one raster is still alive
  }
  EXPECT_FALSE(imageio::imageLibraryStarted());
}

TEST(ImageLibrary, ThreadsLoadAndCountTogether) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 5; ++i) {
        CImageEx image;
        ASSERT_TRUE(image.LoadImageFile(testing_support::corpusPath("dune.jpg"), false));
        EXPECT_FALSE(image.IsNull());
        CImageEx copy(image);
        EXPECT_EQ(copy.GetWidth(), image.GetWidth());
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(imageio::liveRasterCount(), 0);
  EXPECT_FALSE(imageio::imageLibraryStarted());
}

TEST(LoadImageFile, OrdinaryImagesAreTypedOther) {
  CImageEx image;
  image.m_nBaseType = kBaseTypePCA;
  ASSERT_TRUE(image.LoadImageFile(testing_support::corpusPath("storm.jpg"), false));
  EXPECT_FALSE(image.IsNull());
  EXPECT_EQ(image.m_nBaseType, kBaseTypeOther);
}

TEST(LoadImageFile, RimFilesThatFailToDecodeReturnFalse) {
  TempDir dir;
  writeFileBytes(dir.file("empty.rim"), "");
  writeFileBytes(dir.file("bitmap.rim"), "BM not a RIM file at all, but long enough for a header");
  // A PNG under a RIM name is still given to the RIM decoder.
  std::filesystem::copy_file(testing_support::corpusPath("ladybird.png"), dir.file("png.rim"));
  for (const char* name : {"empty.rim", "bitmap.rim", "png.rim", "missing.rim", "trim"}) {
    for (bool thumbnail : {false, true}) {
      CImageEx image = filled(4, 4, 0);
      image.m_nBaseType = kBaseTypeICA;
      EXPECT_FALSE(image.LoadImageFile(dir.file(name), thumbnail)) << name;
      EXPECT_EQ(image.m_nBaseType, kBaseTypeOther) << name;
      EXPECT_TRUE(image.IsNull()) << name;
    }
  }
}
