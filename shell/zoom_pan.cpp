#include "shell/zoom_pan.h"

#include <algorithm>
#include <cmath>

void ZoomPan::setPictureSize(const QSize& size) {
  picture_ = size;
  offset_ = clamped(offset_);
}

void ZoomPan::setViewportSize(const QSize& size) {
  viewport_ = size;
  offset_ = clamped(offset_);
}

double ZoomPan::fitScale() const {
  if (picture_.isEmpty()) return 1.0;
  return std::min(static_cast<double>(viewport_.width()) / picture_.width(),
                  static_cast<double>(viewport_.height()) / picture_.height());
}

double ZoomPan::scale() const { return isFitted() ? fitScale() : zoom_; }

int ZoomPan::percent() const { return static_cast<int>(std::lround(scale() * 100.0)); }

void ZoomPan::setZoom(double zoom, const QPointF& anchor) {
  const QRectF before = pictureRect();
  const double was = scale();
  // The picture point under the anchor, in picture pixels.
  const QPointF point = was > 0.0 ? (anchor - before.topLeft()) / was : QPointF();
  zoom_ = zoom <= 0.0 ? 0.0 : std::clamp(zoom, kMinZoom, kMaxZoom);
  if (isFitted()) {
    offset_ = QPoint();
    return;
  }
  const double now = scale();
  offset_ = clamped(QPoint(static_cast<int>(std::lround(point.x() * now - anchor.x())),
                           static_cast<int>(std::lround(point.y() * now - anchor.y()))));
}

void ZoomPan::setZoom(double zoom) {
  setZoom(zoom, QPointF(viewport_.width() / 2.0, viewport_.height() / 2.0));
}

void ZoomPan::zoomIn(const QPointF& anchor) {
  setZoom(std::min(scale() * kStep, kMaxZoom), anchor);
}

void ZoomPan::zoomOut(const QPointF& anchor) {
  setZoom(std::max(scale() / kStep, kMinZoom), anchor);
}

QSize ZoomPan::scaledSize() const { return pictureRect().size().toSize(); }

QPoint ZoomPan::maxOffset() const {
  if (isFitted() || picture_.isEmpty()) return QPoint();
  const int width = static_cast<int>(picture_.width() * zoom_);
  const int height = static_cast<int>(picture_.height() * zoom_);
  return QPoint(std::max(width - viewport_.width(), 0), std::max(height - viewport_.height(), 0));
}

QPoint ZoomPan::clamped(const QPoint& offset) const {
  const QPoint most = maxOffset();
  return QPoint(std::clamp(offset.x(), 0, most.x()), std::clamp(offset.y(), 0, most.y()));
}

void ZoomPan::setOffset(const QPoint& offset) { offset_ = clamped(offset); }

void ZoomPan::panBy(const QPoint& delta) { setOffset(offset_ + delta); }

QPoint ZoomPan::panStep() const {
  return QPoint(std::max(viewport_.width() / 10, 16), std::max(viewport_.height() / 10, 16));
}

QRectF ZoomPan::pictureRect() const {
  if (picture_.isEmpty()) return QRectF();
  const double w = picture_.width();
  const double h = picture_.height();
  const int boxWidth = viewport_.width();
  const int boxHeight = viewport_.height();
  if (isFitted()) {
    // Whole pixels, centred along the direction with room to spare.
    const double byWidth = boxWidth / w;
    const double byHeight = boxHeight / h;
    const double fit = std::min(byWidth, byHeight);
    const double x = byHeight < byWidth ? std::trunc((boxWidth - w * fit) * 0.5) : 0.0;
    const double y = byHeight < byWidth ? 0.0 : std::trunc((boxHeight - h * fit) * 0.5);
    return QRectF(x, y, std::trunc(w * fit), std::trunc(h * fit));
  }
  const int width = static_cast<int>(w * zoom_);
  const int height = static_cast<int>(h * zoom_);
  const int x = width <= boxWidth ? (boxWidth - width) / 2 : -offset_.x();
  const int y = height <= boxHeight ? (boxHeight - height) / 2 : -offset_.y();
  return QRectF(x, y, width, height);
}
