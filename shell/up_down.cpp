#include "shell/up_down.h"

#include <QKeyEvent>
#include <QToolButton>
#include <algorithm>

CUpDown::CUpDown(QWidget* parent)
    : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
  up_->setObjectName(QStringLiteral("upButton"));
  down_->setObjectName(QStringLiteral("downButton"));
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  for (QToolButton* button : {up_, down_}) {
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIconSize(QSize(7, 7));
  }
  setFocusPolicy(Qt::TabFocus);
  connect(up_, &QToolButton::clicked, this, [this] { step(1); });
  connect(down_, &QToolButton::clicked, this, [this] { step(-1); });
}

void CUpDown::setRange(int minimum, int maximum) {
  minimum_ = minimum;
  maximum_ = std::max(minimum, maximum);
  value_ = std::clamp(value_, minimum_, maximum_);
}

void CUpDown::setValue(int value) { value_ = std::clamp(value, minimum_, maximum_); }

void CUpDown::step(int delta) {
  const int next = std::clamp(value_ + delta, minimum_, maximum_);
  if (next == value_) return;
  value_ = next;
  emit scrolled(value_);
}

void CUpDown::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Up) {
    step(1);
  } else if (event->key() == Qt::Key_Down) {
    step(-1);
  } else {
    QWidget::keyPressEvent(event);
  }
}

void CUpDown::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int upper = height() / 2;
  up_->setGeometry(0, 0, width(), upper);
  down_->setGeometry(0, upper, width(), height() - upper);
}
