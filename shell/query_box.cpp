#include "shell/query_box.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

#include "imageio/image_ex.h"
#include "shell/folim_doc.h"
#include "shell/list_view_ex.h"

CQueryBox::CQueryBox(QWidget* parent) : QFrame(parent) { setAcceptDrops(true); }

void CQueryBox::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter painter(this);
  DrawQuery(painter);
}

void CQueryBox::DrawQuery(QPainter& painter) {
  CFolimDoc* doc = doc_;
  if (doc == nullptr || doc->currentPath().isEmpty()) return;
  const QRect box = contentsRect();
  painter.save();
  painter.setClipRect(box);
  painter.fillRect(box, baseTypeColour(doc->currentImage().m_nBaseType));
  CImageEx& image = doc->currentImage();
  if (!image.IsNull() && !box.isEmpty()) {
    image.FitInto(box.width(), box.height());
    painter.translate(box.topLeft());
    image.DrawAtRect(painter);
  }
  painter.restore();
}

void CQueryBox::mouseDoubleClickEvent(QMouseEvent* event) {
  QFrame::mouseDoubleClickEvent(event);
  if (doc_ != nullptr) doc_->ShowFullSize();
}

namespace {

// Files are welcome; what they are is told when they land.
void acceptFiles(QDragMoveEvent* event) {
  if (event->mimeData()->hasUrls()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

}  // namespace

void CQueryBox::dragEnterEvent(QDragEnterEvent* event) { acceptFiles(event); }

void CQueryBox::dragMoveEvent(QDragMoveEvent* event) { acceptFiles(event); }

void CQueryBox::dropEvent(QDropEvent* event) {
  if (!event->mimeData()->hasUrls() || doc_ == nullptr) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  // The query only: the full-size window stays as it is. While a search
  // ranks the query, the document keeps it.
  const QString path = CListViewEx::DroppedImage(CListViewEx::DroppedPaths(*event->mimeData()));
  if (!path.isEmpty() && doc_->SelectImage(path)) update();
}
