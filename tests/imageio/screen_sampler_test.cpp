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
