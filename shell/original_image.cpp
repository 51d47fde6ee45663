#include "shell/original_image.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>

#include "shell/folim_doc.h"
#include "shell/messages.h"

namespace {

// Client size of a window whose image could not be loaded (186 x 95 dialog
// units), so that its caption still shows which file it was.
constexpr int kEmptyWidth = 279;
constexpr int kEmptyHeight = 143;

}  // namespace

COriginalImage::COriginalImage(CFolimDoc& doc)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint),
      doc_(doc) {
  setObjectName(QStringLiteral("originalImage"));
  setWindowTitle(QStringLiteral("Folim"));
  setModal(false);
  setFocusPolicy(Qt::StrongFocus);
  hide();
}

COriginalImage::~COriginalImage() = default;

QMargins COriginalImage::frameExtents() const {
  const QWindow* window = windowHandle();
  return window != nullptr ? window->frameMargins() : QMargins();
}

void COriginalImage::ShowFullSizeImage(QScreen* screen) {
  CFolimDoc& doc = doc_;
  zoom_ = 0.0;
  setWindowTitle(doc.currentPath());
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  workArea_ = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 800, 600);
  winId();  // the decoration is known only for a native window
  const QMargins m = frameExtents();
  const int boxWidth = workArea_.width() - m.left() - m.right();
  const int boxHeight = workArea_.height() - m.top() - m.bottom();

  // A large photograph is read only as far as the window shows it (in
  // device pixels).
  const qreal ratio = screen != nullptr ? screen->devicePixelRatio() : 1.0;
  QString failure;
  CImageEx& image = doc.PrepareFullSizeImage(static_cast<int>(boxWidth * ratio),
                                             static_cast<int>(boxHeight * ratio), &failure);
  if (!failure.isEmpty()) showMessage(failure);
  image.SetDrawRect(0, 0, image.FullWidth(), image.FullHeight());
  if (!FitWindowToImage()) {
    image.FitInto(boxWidth, boxHeight);
    SizeWindowToFittedImage();
  }
  show();
  raise();
  activateWindow();
  update();
}

bool COriginalImage::FitWindowToImage() {
  const CFolimDoc* doc = &doc_;
  int width = doc->fullSizeImage().FullWidth();
  int height = doc->fullSizeImage().FullHeight();
  if (doc->fullSizeImage().IsNull()) {
    width = kEmptyWidth;
    height = kEmptyHeight;
  }
  const QMargins m = frameExtents();
  const int windowWidth = width + m.left() + m.right();
  const int windowHeight = height + m.top() + m.bottom();
  if (windowWidth > workArea_.width() || windowHeight > workArea_.height()) return false;
  setFixedSize(width, height);
  move(workArea_.left() + (workArea_.width() - windowWidth) / 2,
       workArea_.top() + (workArea_.height() - windowHeight) / 2);
  raise();
  return true;
}

void COriginalImage::SizeWindowToFittedImage() {
  const CFolimDoc* doc = &doc_;
  if (doc->fullSizeImage().IsNull()) return;
  setFixedSize(std::max(doc->fullSizeImage().m_nDrawWidth, 1),
               std::max(doc->fullSizeImage().m_nDrawHeight, 1));
  move(workArea_.topLeft());
  raise();
}

void COriginalImage::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  CImageEx& image = doc_.fullSizeImage();
  if (image.IsNull()) return;
  const int x = image.m_nDrawX, y = image.m_nDrawY;
  const int w = image.m_nDrawWidth, h = image.m_nDrawHeight;
  if (zoom_ <= 0.0) {
    // Fitted to the window, centred, aspect ratio kept.
    image.FitInto(width(), height());
  } else {
    const int zw = static_cast<int>(image.FullWidth() * zoom_);
    const int zh = static_cast<int>(image.FullHeight() * zoom_);
    image.SetDrawRect((width() - zw) / 2, (height() - zh) / 2, zw, zh);
  }
  image.DrawAtRect(painter);
  image.SetDrawRect(x, y, w, h);
}

double COriginalImage::fitScale() const {
  const CImageEx& image = doc_.fullSizeImage();
  if (image.IsNull()) return 1.0;
  return std::min(static_cast<double>(width()) / image.FullWidth(),
                  static_cast<double>(height()) / image.FullHeight());
}

void COriginalImage::setZoom(double zoom) {
  zoom_ = zoom;
  // Past what the reduced pixels show, the whole picture is decoded.
  const CImageEx& image = doc_.fullSizeImage();
  if (image.IsReduced() && zoom_ * devicePixelRatioF() * image.FullWidth() > image.GetWidth()) {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    QString failure;
    doc_.LoadFullSizePixels(&failure);
    QGuiApplication::restoreOverrideCursor();
    if (!failure.isEmpty()) showMessage(failure);
  }
  update();
}

void COriginalImage::zoomIn() {
  setZoom(std::min((zoom_ > 0.0 ? zoom_ : fitScale()) * 1.25, 16.0));
}

void COriginalImage::zoomOut() {
  setZoom(std::max((zoom_ > 0.0 ? zoom_ : fitScale()) / 1.25, 1.0 / 64));
}

void COriginalImage::zoomToActualSize() { setZoom(1.0); }

void COriginalImage::zoomToFit() {
  zoom_ = 0.0;
  update();
}

void COriginalImage::step(int direction) {
  if (doc_.StepImage(direction)) ShowFullSizeImage(screen());
}

void COriginalImage::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Right:
    case Qt::Key_Space:
      step(1);
      return;
    case Qt::Key_Left:
    case Qt::Key_Backspace:
      step(-1);
      return;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      zoomIn();
      return;
    case Qt::Key_Minus:
      zoomOut();
      return;
    case Qt::Key_0:
      zoomToFit();
      return;
    case Qt::Key_1:
      zoomToActualSize();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

void COriginalImage::wheelEvent(QWheelEvent* event) {
  if (!(event->modifiers() & Qt::ControlModifier)) {
    QDialog::wheelEvent(event);
    return;
  }
  if (event->angleDelta().y() > 0) zoomIn();
  if (event->angleDelta().y() < 0) zoomOut();
  event->accept();
}

void COriginalImage::mouseDoubleClickEvent(QMouseEvent* event) {
  QDialog::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton) done(1);
}
