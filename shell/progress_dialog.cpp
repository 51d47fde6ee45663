#include "shell/progress_dialog.h"

#include <QProgressBar>
#include <QPushButton>

CProgressDialog::CProgressDialog()
    : QDialog(nullptr, Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint),
      bar_(new QProgressBar(this)),
      cancel_(new QPushButton(tr("Cancel"), this)) {
  setObjectName(QStringLiteral("progressDialog"));
  setWindowTitle(QStringLiteral("Progress..."));
  setModal(false);
  // Showing it for every page must not take the keyboard from the tree or
  // the list.
  setAttribute(Qt::WA_ShowWithoutActivating);
  // 117 x 29 dialog units, the bar at (7, 7) sized 103 x 14.
  setFixedSize(176, 44);
  bar_->setObjectName(QStringLiteral("progressBar"));
  bar_->setGeometry(10, 10, 155, 21);
  bar_->setRange(0, 100);
  bar_->setValue(0);
  bar_->setTextVisible(false);
  cancel_->setObjectName(QStringLiteral("cancelButton"));
  cancel_->hide();
  connect(cancel_, &QPushButton::clicked, this, &CProgressDialog::cancelled);
  hide();
}

CProgressDialog::~CProgressDialog() = default;

void CProgressDialog::setCancellable(bool cancellable) {
  if (cancellable == cancel_->isVisible()) return;
  // The button goes below the bar, and the window grows to hold it.
  cancel_->setVisible(cancellable);
  if (cancellable) {
    cancel_->adjustSize();
    setFixedSize(176, 44 + cancel_->height() + 6);
    cancel_->move(176 - 10 - cancel_->width(), 38);
  } else {
    setFixedSize(176, 44);
  }
}

void CProgressDialog::SetPos(int position) { bar_->setValue(position); }

void CProgressDialog::StepIt() {
  int next = bar_->value() + step_;
  // Like the platform's bar, stepping past the end starts again at the start.
  if (next > bar_->maximum()) next = bar_->minimum() + (next - bar_->maximum());
  bar_->setValue(next);
}

void CProgressDialog::SetLoadingProgress(int k, int n) {
  setWindowTitle(QStringLiteral("Loading thumbnails %1 / %2 ...").arg(k).arg(n));
  setCancellable(false);
  SetPos(n > 0 ? static_cast<int>(static_cast<double>(k) / n * 100.0) : 0);
}

void CProgressDialog::showEvent(QShowEvent* event) {
  ++timesShown_;
  QDialog::showEvent(event);
}
