#include "shell/original_image.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>
#include <algorithm>

#include "shell/folim_doc.h"
#include "shell/messages.h"
#include "shell/native_path.h"

namespace {

// Client size of a window whose image could not be loaded (186 x 95 dialog
// units), so that its caption still shows which file it was.
constexpr int kEmptyWidth = 279;
constexpr int kEmptyHeight = 143;

}  // namespace

COriginalImage::COriginalImage()
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("originalImage"));
  setWindowTitle(QStringLiteral("Folim"));
  setModal(false);
  if (CFolimDoc* doc = GetFolimDoc()) doc->m_pOriginalImage = this;
  hide();
}

COriginalImage::~COriginalImage() {
  CFolimDoc* doc = GetFolimDoc();
  if (doc != nullptr && doc->m_pOriginalImage == this) doc->m_pOriginalImage = nullptr;
}

QMargins COriginalImage::frameExtents() const {
  const QWindow* window = windowHandle();
  return window != nullptr ? window->frameMargins() : QMargins();
}

void COriginalImage::ShowFullSizeImage(CFolimDoc& doc, QScreen* screen) {
  setWindowTitle(doc.m_currentPath);
  // The window keeps its own copy of the pixels: the current image may be
  // replaced while the window is open.
  if (!doc.m_currentImage.IsNull()) {
    doc.m_fullSizeImage = doc.m_currentImage;
  } else {
    std::string why;
    doc.m_fullSizeImage.LoadImageFile(toNativePath(doc.m_currentPath), false, &why);
    if (doc.m_fullSizeImage.IsNull())
      showMessage(QStringLiteral("Cannot open %1: %2")
                      .arg(doc.m_currentPath, fromNativePath(why.empty() ? "no image" : why)));
  }
  CImageEx& image = doc.m_fullSizeImage;
  image.SetDrawRect(0, 0, image.GetWidth(), image.GetHeight());

  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  workArea_ = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 800, 600);
  winId();  // the decoration is known only for a native window

  if (!FitWindowToImage()) {
    const QMargins m = frameExtents();
    image.FitInto(workArea_.width() - m.left() - m.right(),
                  workArea_.height() - m.top() - m.bottom());
    SizeWindowToFittedImage();
  }
  show();
  raise();
  activateWindow();
  update();
}

bool COriginalImage::FitWindowToImage() {
  const CFolimDoc* doc = GetFolimDoc();
  if (doc == nullptr) return false;
  int width = doc->m_fullSizeImage.GetWidth();
  int height = doc->m_fullSizeImage.GetHeight();
  if (doc->m_fullSizeImage.IsNull()) {
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
  const CFolimDoc* doc = GetFolimDoc();
  if (doc == nullptr || doc->m_fullSizeImage.IsNull()) return;
  setFixedSize(std::max(doc->m_fullSizeImage.m_nDrawWidth, 1),
               std::max(doc->m_fullSizeImage.m_nDrawHeight, 1));
  move(workArea_.topLeft());
  raise();
}

void COriginalImage::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  CFolimDoc* doc = GetFolimDoc();
  if (doc == nullptr || doc->m_fullSizeImage.IsNull()) return;
  // Stretch the whole picture into the whole client area.
  CImageEx& image = doc->m_fullSizeImage;
  const int x = image.m_nDrawX, y = image.m_nDrawY;
  const int w = image.m_nDrawWidth, h = image.m_nDrawHeight;
  image.SetDrawRect(0, 0, width(), height());
  image.DrawAtRect(painter);
  image.SetDrawRect(x, y, w, h);
}

void COriginalImage::mouseDoubleClickEvent(QMouseEvent* event) {
  QDialog::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton) done(1);
}
