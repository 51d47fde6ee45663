#include "shell/picture_view.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QWheelEvent>
#include <cmath>

#include "imageio/image_ex.h"
#include "imageio/screen_sampler.h"

namespace {

// The label's distance from the window's bottom-right corner.
constexpr int kLabelMargin = 8;
// From this many screen pixels per picture pixel on, the picture's pixels
// show as squares, which is what zooming that far is for.
constexpr double kPixelZoom = 4.0;

}  // namespace

CPictureView::CPictureView(QWidget* parent) : QAbstractScrollArea(parent) {
  setObjectName(QStringLiteral("pictureView"));
  setFrameShape(QFrame::NoFrame);
  setFocusPolicy(Qt::StrongFocus);
  setMinimumSize(1, 1);
  viewport()->setAutoFillBackground(false);
  label_ = new QLabel(viewport());
  label_->setObjectName(QStringLiteral("zoomLabel"));
  label_->setStyleSheet(
      QStringLiteral("QLabel { background: rgba(0, 0, 0, 160); color: white; padding: 2px 6px; "
                     "border-radius: 3px; }"));
  label_->hide();
}

void CPictureView::setPicture(const CImageEx* image, int quarterTurns) {
  image_ = image;
  turns_ = (quarterTurns % 4 + 4) % 4;
  shown_ = QImage();
  QSize size;
  if (image_ != nullptr && !image_->IsNull())
    size = QSize(image_->FullWidth(), image_->FullHeight());
  zoomPan_.setPictureSize(turns_ % 2 == 1 ? size.transposed() : size);
  refresh();
}

void CPictureView::refresh() {
  // The pixels may have changed under the same picture (decoded in full).
  shown_ = QImage();
  {
    // The scroll bars follow the pan; their signals must not pan back.
    const QScopedValueRollback<bool> syncing(syncing_, true);
    zoomPan_.setViewportSize(viewport()->size());
    const QPoint most = zoomPan_.maxOffset();
    const QPoint step = zoomPan_.panStep();
    QScrollBar* across = horizontalScrollBar();
    QScrollBar* down = verticalScrollBar();
    across->setRange(0, most.x());
    across->setPageStep(viewport()->width());
    across->setSingleStep(step.x());
    across->setValue(zoomPan_.offset().x());
    down->setRange(0, most.y());
    down->setPageStep(viewport()->height());
    down->setSingleStep(step.y());
    down->setValue(zoomPan_.offset().y());
  }
  updateLabel();
  updateCursor();
  viewport()->update();
}

void CPictureView::panBy(const QPoint& delta) {
  zoomPan_.panBy(delta);
  refresh();
}

void CPictureView::setNote(const QString& note) {
  note_ = note;
  updateLabel();
}

void CPictureView::updateLabel() {
  // One to one needs no word; a picture shrunk to fit or zoomed does.
  const bool oneToOne = zoomPan_.isFitted() && zoomPan_.percent() == 100;
  QStringList parts;
  if (!note_.isEmpty()) parts << note_;
  if (image_ != nullptr && !image_->IsNull() && !oneToOne)
    parts << tr("%1 %").arg(zoomPan_.percent());
  if (parts.isEmpty()) {
    label_->hide();
    return;
  }
  label_->setText(parts.join(QStringLiteral("  ·  ")));
  label_->adjustSize();
  label_->move(viewport()->width() - label_->width() - kLabelMargin,
               viewport()->height() - label_->height() - kLabelMargin);
  label_->show();
}

void CPictureView::updateCursor() {
  const bool movable = zoomPan_.canPanHorizontally() || zoomPan_.canPanVertically();
  if (!movable) {
    viewport()->unsetCursor();
  } else {
    viewport()->setCursor(dragging_ ? Qt::ClosedHandCursor : Qt::OpenHandCursor);
  }
}

void CPictureView::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(viewport());
  painter.fillRect(viewport()->rect(), Qt::black);
  if (image_ == nullptr || image_->IsNull()) return;
  const QRectF placed = zoomPan_.pictureRect();
  const QRect visible = placed.toAlignedRect() & viewport()->rect();
  if (visible.isEmpty()) return;
  // Sampled in device pixels, so that a dense screen shows the picture's.
  const qreal ratio = devicePixelRatioF();
  const QRectF placedOnDevice(placed.topLeft() * ratio, placed.size() * ratio);
  const QRect area(QPoint(static_cast<int>(std::floor(visible.left() * ratio)),
                          static_cast<int>(std::floor(visible.top() * ratio))),
                   QSize(static_cast<int>(std::ceil(visible.width() * ratio)),
                         static_cast<int>(std::ceil(visible.height() * ratio))));
  // Smooth shrinking and moderate enlarging; at one to one and at deep zoom
  // the picture's own pixels. Smooth sampling costs more, so the window
  // keeps what it drew until the picture, its place or the view changes.
  const double scale = zoomPan_.scale() * ratio;
  const bool ownPixels = std::abs(scale - 1.0) < 1e-9 || scale >= kPixelZoom;
  if (shown_.isNull() || shownPlaced_ != placedOnDevice || shownArea_ != area) {
    shown_ =
        imageio::sampleTurned(*image_, turns_, placedOnDevice, area,
                              ownPixels ? imageio::Sampling::Nearest : imageio::Sampling::Smooth);
    shown_.setDevicePixelRatio(ratio);
    shownPlaced_ = placedOnDevice;
    shownArea_ = area;
  }
  painter.drawImage(visible.topLeft(), shown_);
}

void CPictureView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  refresh();
}

void CPictureView::scrollContentsBy(int /*dx*/, int /*dy*/) {
  if (syncing_) return;
  zoomPan_.setOffset(QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value()));
  viewport()->update();
}

void CPictureView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QAbstractScrollArea::mousePressEvent(event);
    return;
  }
  dragging_ = true;
  dragFrom_ = event->position().toPoint();
  updateCursor();
  event->accept();
}

void CPictureView::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) {
    QAbstractScrollArea::mouseMoveEvent(event);
    return;
  }
  // The picture follows the hand.
  const QPoint at = event->position().toPoint();
  panBy(dragFrom_ - at);
  dragFrom_ = at;
  event->accept();
}

void CPictureView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !dragging_) {
    QAbstractScrollArea::mouseReleaseEvent(event);
    return;
  }
  dragging_ = false;
  updateCursor();
  event->accept();
}

void CPictureView::mouseDoubleClickEvent(QMouseEvent* event) {
  // The window's: full screen on or off.
  event->ignore();
}

void CPictureView::keyPressEvent(QKeyEvent* event) {
  // The window's keys (arrows among them) are its actions, not scrolling.
  event->ignore();
}

void CPictureView::wheelEvent(QWheelEvent* event) {
  if (event->modifiers() & Qt::ControlModifier) {
    // The window zooms, about the cursor.
    emit zoomWheeled(event->position(), event->angleDelta().y());
    event->accept();
    return;
  }
  QAbstractScrollArea::wheelEvent(event);
}
