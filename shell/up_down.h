// A pair of arrow buttons without a buddy field: it holds a position in a
// range, moves it by one per click (or Up/Down key), and tells only of moves
// the user made; setting the position from code says nothing.
#pragma once

#include <QWidget>

class QToolButton;

class CUpDown : public QWidget {
  Q_OBJECT

 public:
  explicit CUpDown(QWidget* parent = nullptr);

  void setRange(int minimum, int maximum);
  int minimum() const { return minimum_; }
  int maximum() const { return maximum_; }
  void setValue(int value);
  int value() const { return value_; }

  QToolButton* upButton() const { return up_; }
  QToolButton* downButton() const { return down_; }

 signals:
  // The user moved the position; position is the new one.
  void scrolled(int position);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void step(int delta);

  QToolButton* up_;
  QToolButton* down_;
  int minimum_ = 0;
  int maximum_ = 100;
  int value_ = 0;
};
