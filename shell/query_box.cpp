#include "shell/query_box.h"

#include <QMouseEvent>
#include <QPainter>

#include "imageio/image_ex.h"
#include "shell/folim_doc.h"

CQueryBox::CQueryBox(QWidget* parent) : QFrame(parent) {}

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
