// The picture of the full-size window: drawn turned and scaled as its zoom
// and pan say, and only the part the window shows. Scroll bars appear when
// the picture reaches past the window; dragging and the wheel move it. A
// corner label tells the zoom whenever the picture is not shown one to one,
// with a note beside it (the slideshow's pause).
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRectF>

#include "shell/zoom_pan.h"

class CImageEx;
class QLabel;

class CPictureView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit CPictureView(QWidget* parent = nullptr);

  // The picture shown (kept by its owner; null for none) and its turns.
  void setPicture(const CImageEx* image, int quarterTurns);
  int turns() const { return turns_; }

  // Change the zoom and pan through zoomPan(), then refresh() shows them.
  ZoomPan& zoomPan() { return zoomPan_; }
  const ZoomPan& zoomPan() const { return zoomPan_; }
  void refresh();
  void panBy(const QPoint& delta);

  void setNote(const QString& note);
  QLabel* zoomLabel() const { return label_; }

 signals:
  // Ctrl+wheel at `at` (viewport coordinates): delta > 0 zooms in.
  void zoomWheeled(const QPointF& at, int delta);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void updateLabel();
  void updateCursor();

  ZoomPan zoomPan_;
  const CImageEx* image_ = nullptr;
  int turns_ = 0;
  QLabel* label_ = nullptr;
  QString note_;
  bool syncing_ = false;
  bool dragging_ = false;
  QPoint dragFrom_;
  // What was last drawn, and where.
  QImage shown_;
  QRectF shownPlaced_;
  QRect shownArea_;
};
