// Where a picture lies in the window that shows it: fitted to the window, or
// at a zoom with the part of it the window shows (the pan), as the scroll
// bars give it. Pure arithmetic, without widgets. Sizes are in window pixels
// for the window and in the picture's own pixels (as shown, turned) for the
// picture.
#pragma once

#include <QPoint>
#include <QPointF>
#include <QRectF>
#include <QSize>

class ZoomPan {
 public:
  static constexpr double kStep = 1.25;
  static constexpr double kMinZoom = 1.0 / 64;
  static constexpr double kMaxZoom = 16.0;

  // The zoom stays; the pan is kept inside the new bounds.
  void setPictureSize(const QSize& size);
  void setViewportSize(const QSize& size);
  QSize pictureSize() const { return picture_; }
  QSize viewportSize() const { return viewport_; }

  // 0 while the picture is fitted to the window, else the scale asked for.
  double zoom() const { return zoom_; }
  bool isFitted() const { return zoom_ <= 0.0; }
  // The scale shown: the fitting one while fitted.
  double scale() const;
  double fitScale() const;
  // The scale shown in percent, rounded.
  int percent() const;

  // Zooms to zoom (0 fits; others are kept within kMinZoom and kMaxZoom),
  // keeping the picture point under anchor (window coordinates) where it is
  // as far as the pan allows.
  void setZoom(double zoom, const QPointF& anchor);
  // The same about the middle of the window.
  void setZoom(double zoom);
  // One step (kStep) larger or smaller than the scale shown.
  void zoomIn(const QPointF& anchor);
  void zoomOut(const QPointF& anchor);

  // The scaled picture's size in window pixels.
  QSize scaledSize() const;
  // The pan: the point of the scaled picture at the window's top-left, from
  // (0, 0) to maxOffset() (0 along a direction where the picture fits).
  QPoint offset() const { return offset_; }
  QPoint maxOffset() const;
  void setOffset(const QPoint& offset);
  void panBy(const QPoint& delta);
  // Whether the picture reaches past the window that way.
  bool canPanHorizontally() const { return maxOffset().x() > 0; }
  bool canPanVertically() const { return maxOffset().y() > 0; }
  // The pan of one arrow key: a tenth of the window, at least 16 pixels.
  QPoint panStep() const;

  // Where the whole picture lies in the window (it may reach past it): its
  // scaled size, centred along a direction where it fits, else moved by the
  // pan. Fitted, it is the fitting rectangle of whole pixels.
  QRectF pictureRect() const;

 private:
  QPoint clamped(const QPoint& offset) const;

  QSize picture_;
  QSize viewport_;
  double zoom_ = 0.0;
  QPoint offset_;
};
