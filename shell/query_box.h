// The retrieval form's query box: the current image, fitted and centred on
// the background colour of its base type. A double click opens it at full
// size.
#pragma once

#include <QFrame>

class CQueryBox : public QFrame {
  Q_OBJECT

 public:
  explicit CQueryBox(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};
