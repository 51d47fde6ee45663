// Where a picture lies in its window, fitted or zoomed and panned: the
// arithmetic behind the full-size window, without the window.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "shell/zoom_pan.h"

namespace {

ZoomPan placed(QSize picture, QSize window, double zoom = 0.0) {
  ZoomPan zoomPan;
  zoomPan.setViewportSize(window);
  zoomPan.setPictureSize(picture);
  zoomPan.setZoom(zoom);
  return zoomPan;
}

// The picture point (in picture pixels) under a window point.
QPointF pictureAt(const ZoomPan& zoomPan, const QPointF& window) {
  return (window - zoomPan.pictureRect().topLeft()) / zoomPan.scale();
}

std::string sizeText(QSize size) {
  return std::to_string(size.width()) + "x" + std::to_string(size.height());
}

}  // namespace

TEST(ZoomPan, FittedPicturesFillOneWayAndAreCentredTheOther) {
  struct Case {
    QSize picture;
    QSize window;
    int percent;
  };
  const Case cases[] = {{{4000, 3000}, {1280, 860}, 29}, {{3000, 4000}, {1280, 860}, 22},
                        {{640, 480}, {640, 480}, 100},   {{200, 100}, {800, 600}, 400},
                        {{10000, 10}, {1000, 800}, 10},  {{1, 1}, {300, 200}, 20000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(sizeText(c.picture) + " in " + sizeText(c.window));
    const ZoomPan zoomPan = placed(c.picture, c.window);
    EXPECT_TRUE(zoomPan.isFitted());
    EXPECT_EQ(zoomPan.percent(), c.percent);
    const QRectF shown = zoomPan.pictureRect();
    EXPECT_TRUE(QRectF(QPointF(), QSizeF(c.window)).contains(shown));
    // One side touches the window's, the other is centred in it.
    const bool fullWidth = std::abs(shown.width() - c.window.width()) <= 1;
    const bool fullHeight = std::abs(shown.height() - c.window.height()) <= 1;
    EXPECT_TRUE(fullWidth || fullHeight);
    // Whole pixels: each of the place and the size is rounded down.
    EXPECT_NEAR(shown.left() * 2 + shown.width(), c.window.width(), 2.0);
    EXPECT_NEAR(shown.top() * 2 + shown.height(), c.window.height(), 2.0);
    // The picture keeps its proportions.
    EXPECT_NEAR(shown.width() * c.picture.height(), shown.height() * c.picture.width(),
                std::max(c.picture.width(), c.picture.height()) + 0.0);
    EXPECT_EQ(zoomPan.maxOffset(), QPoint());
    EXPECT_FALSE(zoomPan.canPanHorizontally());
    EXPECT_FALSE(zoomPan.canPanVertically());
  }
}

TEST(ZoomPan, ZoomingKeepsThePointUnderTheAnchorWhereThePanAllows) {
  const QSize picture(4000, 3000), window(1280, 860);
  struct Case {
    double from;  // 0: fitted
    double to;
    QPointF anchor;
  };
  const Case cases[] = {{0.0, 1.0, {640, 430}}, {0.0, 1.0, {100, 700}}, {1.0, 1.25, {1000, 200}},
                        {1.0, 0.8, {900, 500}}, {2.0, 4.0, {10, 10}},   {0.5, 2.0, {1279, 859}},
                        {1.0, 16.0, {333, 444}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.from) + " to " + std::to_string(c.to));
    ZoomPan zoomPan = placed(picture, window, c.from);
    const QPointF before = pictureAt(zoomPan, c.anchor);
    zoomPan.setZoom(c.to, c.anchor);
    EXPECT_DOUBLE_EQ(zoomPan.zoom(), c.to);
    const QPointF after = pictureAt(zoomPan, c.anchor);
    // Within a window pixel, unless the pan stopped at an edge.
    const double slack = 1.0 / zoomPan.scale();
    const QPoint offset = zoomPan.offset();
    const QPoint most = zoomPan.maxOffset();
    if (offset.x() > 0 && offset.x() < most.x()) {
      EXPECT_NEAR(after.x(), before.x(), slack);
    }
    if (offset.y() > 0 && offset.y() < most.y()) {
      EXPECT_NEAR(after.y(), before.y(), slack);
    }
  }
}

TEST(ZoomPan, ZoomStaysWithinItsLimitsAndZeroFitsAgain) {
  ZoomPan zoomPan = placed({400, 300}, {200, 200});
  zoomPan.setZoom(1000.0);
  EXPECT_EQ(zoomPan.zoom(), ZoomPan::kMaxZoom);
  zoomPan.setZoom(1e-9);
  EXPECT_EQ(zoomPan.zoom(), ZoomPan::kMinZoom);
  zoomPan.setZoom(2.0);
  zoomPan.zoomIn(QPointF(100, 100));
  EXPECT_DOUBLE_EQ(zoomPan.zoom(), 2.0 * ZoomPan::kStep);
  zoomPan.zoomOut(QPointF(100, 100));
  zoomPan.zoomOut(QPointF(100, 100));
  EXPECT_DOUBLE_EQ(zoomPan.zoom(), 2.0 / ZoomPan::kStep);
  zoomPan.setOffset(QPoint(50, 50));
  zoomPan.setZoom(0.0);
  EXPECT_TRUE(zoomPan.isFitted());
  EXPECT_EQ(zoomPan.offset(), QPoint());
}

TEST(ZoomPan, ThePanStaysOnThePictureAndOnlyWhereItReachesPastTheWindow) {
  struct Case {
    QSize picture;
    double zoom;
    QPoint asked;
    QPoint expected;
  };
  const QSize window(1000, 800);
  const Case cases[] = {
      {{4000, 3000}, 1.0, {-50, -50}, {0, 0}},
      {{4000, 3000}, 1.0, {99999, 99999}, {3000, 2200}},
      {{4000, 3000}, 0.5, {1500, 100}, {1000, 100}},
      {{4000, 300}, 1.0, {500, 500}, {500, 0}},  // no room to pan down
      {{300, 3000}, 2.0, {500, 500}, {0, 500}},  // 600 wide: no room across
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(sizeText(c.picture) + " at " + std::to_string(c.zoom));
    ZoomPan zoomPan = placed(c.picture, window, c.zoom);
    zoomPan.setOffset(c.asked);
    EXPECT_EQ(zoomPan.offset(), c.expected);
    const QRectF shown = zoomPan.pictureRect();
    // Along a direction it fits, the picture is centred.
    if (!zoomPan.canPanVertically()) {
      EXPECT_NEAR(shown.top() * 2 + shown.height(), window.height(), 1.0);
    }
    if (!zoomPan.canPanHorizontally()) {
      EXPECT_NEAR(shown.left() * 2 + shown.width(), window.width(), 1.0);
    }
  }
}

TEST(ZoomPan, PanStepsReachEveryCornerOfATwelveMegapixelPicture) {
  ZoomPan zoomPan = placed({4000, 3000}, {1280, 860}, 1.0);
  // From the top-left corner, round the picture clockwise.
  zoomPan.setOffset(QPoint());
  const QPoint step = zoomPan.panStep();
  ASSERT_GT(step.x(), 0);
  ASSERT_GT(step.y(), 0);
  struct Corner {
    int dx, dy;
    QPointF pictureCorner;  // the picture pixel at the window's corner
    QPointF windowCorner;
  };
  const Corner corners[] = {{1, 0, {3999, 0}, {1279, 0}},
                            {0, 1, {3999, 2999}, {1279, 859}},
                            {-1, 0, {0, 2999}, {0, 859}},
                            {0, -1, {0, 0}, {0, 0}}};
  for (const Corner& corner : corners) {
    int steps = 0;
    for (QPoint last(-1, -1); zoomPan.offset() != last && steps < 1000; ++steps) {
      last = zoomPan.offset();
      zoomPan.panBy(QPoint(corner.dx * step.x(), corner.dy * step.y()));
    }
    const QPointF at = pictureAt(zoomPan, corner.windowCorner);
    EXPECT_EQ(QPoint(static_cast<int>(at.x()), static_cast<int>(at.y())),
              corner.pictureCorner.toPoint())
        << steps << " steps";
  }
  // Resizing the window keeps the pan on the picture.
  zoomPan.setOffset(zoomPan.maxOffset());
  zoomPan.setViewportSize(QSize(3000, 2000));
  EXPECT_EQ(zoomPan.offset(), QPoint(1000, 1000));
}
