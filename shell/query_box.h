// The retrieval form's query box: the current image, fitted and centred on
// the background colour of its base type. A double click opens it at full
// size; an image file dropped on it (from a file manager) becomes the query.
#pragma once

#include <QFrame>

class CFolimDoc;
class QPainter;

class CQueryBox : public QFrame {
  Q_OBJECT

 public:
  explicit CQueryBox(QWidget* parent = nullptr);

  // The document whose current image is drawn (set by the form).
  void setDocument(CFolimDoc* doc) { doc_ = doc; }

  // The current image, fitted into the box and centred, on the colour of its
  // base type; nothing before an image has been chosen.
  void DrawQuery(QPainter& painter);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  CFolimDoc* doc_ = nullptr;
};
