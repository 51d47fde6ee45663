// What the full-size window draws of a turned, scaled picture: each window
// pixel shows the picture pixel under its centre, whatever the turn, the
// zoom and the part of the picture in view.
#include <gtest/gtest.h>

#include <QImage>
#include <QTransform>
#include <string>

#include "imageio/qimage_raster.h"
#include "imageio/screen_sampler.h"
#include "support/test_support.h"

using testing_support::corpusPath;

namespace {

// A small photograph, so that every pixel differs from its neighbours.
QImage photograph(QImage::Format format) {
  return QImage(QString::fromStdString(corpusPath("ladybird.jpg")))
      .scaled(29, 17)
      .convertToFormat(format);
}

}  // namespace

TEST(SampleTurned, EachWindowPixelShowsThePicturePixelUnderIt) {
  struct Case {
    const char* name;
    int scale;      // whole window pixels per picture pixel
    QPoint origin;  // the picture's top-left in the window
    QRect area;     // the window pixels asked for
  };
  const Case cases[] = {
      {"one to one, whole", 1, {0, 0}, {0, 0, 40, 40}},
      {"one to one, moved", 1, {5, 3}, {2, 1, 30, 30}},
      {"zoomed, panned past the top-left", 3, {-10, -7}, {0, 0, 50, 40}},
      {"zoomed, one corner of the window", 4, {-30, -20}, {17, 9, 11, 13}},
  };
  for (const QImage::Format format :
       {QImage::Format_RGB32, QImage::Format_RGB888, QImage::Format_Indexed8}) {
    const QImage source = photograph(format);
    CImage raster;
    ASSERT_TRUE(imageio::rasterFromQImage(source, raster));
    const QImage upright = imageio::qimageFromRaster(raster).convertToFormat(QImage::Format_RGB32);
    for (const Case& c : cases) {
      for (const int quarters : {0, 1, 2, 3, -1}) {
        SCOPED_TRACE(std::string(c.name) + ", turned " + std::to_string(quarters) + ", format " +
                     std::to_string(format));
        const QImage turned = upright.transformed(QTransform().rotate(90.0 * quarters));
        const QRectF placed(c.origin, turned.size() * c.scale);
        const QImage shown = imageio::sampleTurned(raster, quarters, placed, c.area);
        ASSERT_EQ(shown.size(), c.area.size());
        int differing = 0;
        for (int y = 0; y < c.area.height(); ++y) {
          for (int x = 0; x < c.area.width(); ++x) {
            const QPoint window = c.area.topLeft() + QPoint(x, y);
            const QPoint offset = window - c.origin;
            // Window pixels off the picture show no pixel of it in the view.
            if (offset.x() < 0 || offset.y() < 0) continue;
            const QPoint pixel(offset.x() / c.scale, offset.y() / c.scale);
            if (!turned.rect().contains(pixel)) continue;
            if (shown.pixel(x, y) != turned.pixel(pixel)) ++differing;
          }
        }
        EXPECT_EQ(differing, 0);
      }
    }
  }
}

TEST(SampleTurned, NothingToShowGivesANullImage) {
  CImage raster;
  ASSERT_TRUE(raster.Create(4, 4, 24));
  CImage empty;
  EXPECT_TRUE(imageio::sampleTurned(empty, 0, QRectF(0, 0, 4, 4), QRect(0, 0, 4, 4)).isNull());
  EXPECT_TRUE(imageio::sampleTurned(raster, 0, QRectF(0, 0, 4, 4), QRect()).isNull());
  EXPECT_TRUE(imageio::sampleTurned(raster, 0, QRectF(0, 0, 0, 4), QRect(0, 0, 4, 4)).isNull());
}

namespace {

// A raster of one-pixel black and white squares.
CImage checkerboard(int side) {
  CImage raster;
  EXPECT_TRUE(raster.Create(side, side, 24));
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      const int v = (x + y) % 2 == 0 ? 0 : 255;
      raster.SetPixel(x, y, makeColorWord(v, v, v));
    }
  return raster;
}

}  // namespace

TEST(SampleTurned, SmoothShrinkingAveragesWhatEachWindowPixelCovers) {
  const CImage raster = checkerboard(64);
  // Nearest neighbour at half size picks every other pixel: all one colour.
  // Smoothly, every window pixel covers two black and two white: grey.
  for (const int quarters : {0, 1}) {
    const QImage nearest =
        imageio::sampleTurned(raster, quarters, QRectF(0, 0, 32, 32), QRect(0, 0, 32, 32));
    const QImage smooth = imageio::sampleTurned(raster, quarters, QRectF(0, 0, 32, 32),
                                                QRect(0, 0, 32, 32), imageio::Sampling::Smooth);
    EXPECT_EQ(qGray(nearest.pixel(5, 7)), qGray(nearest.pixel(20, 9)));
    EXPECT_TRUE(qGray(nearest.pixel(5, 7)) == 0 || qGray(nearest.pixel(5, 7)) == 255);
    for (const QPoint p : {QPoint(0, 0), QPoint(5, 7), QPoint(31, 31), QPoint(16, 3)})
      EXPECT_NEAR(qGray(smooth.pixel(p)), 128, 2) << p.x() << "," << p.y();
  }
  // A tenth of the size samples a bounded number of pixels, still grey.
  const QImage tenth = imageio::sampleTurned(raster, 0, QRectF(0, 0, 6.4, 6.4), QRect(0, 0, 6, 6),
                                             imageio::Sampling::Smooth);
  EXPECT_NEAR(qGray(tenth.pixel(3, 3)), 128, 30);
}

TEST(SampleTurned, SmoothEnlargingBlendsNeighboursAndKeepsTheirColours) {
  CImage raster;
  ASSERT_TRUE(raster.Create(2, 1, 24));
  raster.SetPixel(0, 0, makeColorWord(0, 0, 0));
  raster.SetPixel(1, 0, makeColorWord(200, 100, 40));
  // Eight window pixels per raster pixel: pure colours at the ends, a ramp
  // between the two pixel centres, where nearest neighbour jumps.
  const QImage smooth = imageio::sampleTurned(raster, 0, QRectF(0, 0, 16, 8), QRect(0, 0, 16, 8),
                                              imageio::Sampling::Smooth);
  EXPECT_EQ(smooth.pixel(0, 4), qRgb(0, 0, 0));
  EXPECT_EQ(smooth.pixel(15, 4), qRgb(200, 100, 40));
  int previous = -1;
  for (int x = 0; x < 16; ++x) {
    const int red = qRed(smooth.pixel(x, 4));
    EXPECT_GE(red, previous) << x;
    previous = red;
  }
  EXPECT_NEAR(qRed(smooth.pixel(7, 4)), 88, 2);
  EXPECT_NEAR(qGreen(smooth.pixel(8, 4)), 56, 2);
  // Turned a half, the ramp runs the other way.
  const QImage turned = imageio::sampleTurned(raster, 2, QRectF(0, 0, 16, 8), QRect(0, 0, 16, 8),
                                              imageio::Sampling::Smooth);
  EXPECT_EQ(turned.pixel(0, 4), qRgb(200, 100, 40));
  EXPECT_EQ(turned.pixel(15, 4), qRgb(0, 0, 0));
}
