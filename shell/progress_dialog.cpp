#include "shell/progress_dialog.h"

#include <QEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

namespace {

// The narrowest the window gets, its margin, and where the bar sits below
// the caption.
constexpr int kMinWidth = 176;
constexpr int kMargin = 10;
constexpr int kBarTop = 32;
constexpr int kBarHeight = 21;
constexpr int kHeight = kBarTop + kBarHeight + kMargin;

}  // namespace

CProgressDialog::CProgressDialog()
    : QDialog(nullptr, Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint),
      caption_(new QLabel(this)),
      bar_(new QProgressBar(this)),
      cancel_(new QPushButton(tr("Cancel"), this)) {
  setObjectName(QStringLiteral("progressDialog"));
  caption_->setObjectName(QStringLiteral("progressCaption"));
  caption_->move(kMargin, kMargin);
  setWindowTitle(tr("Progress..."));
  setModal(false);
  // Showing it for every page must not take the keyboard from the tree or
  // the list.
  setAttribute(Qt::WA_ShowWithoutActivating);
  bar_->setObjectName(QStringLiteral("progressBar"));
  bar_->setRange(0, 100);
  bar_->setValue(0);
  bar_->setTextVisible(false);
  cancel_->setObjectName(QStringLiteral("cancelButton"));
  cancel_->hide();
  connect(cancel_, &QPushButton::clicked, this, &CProgressDialog::cancelled);
  fitToCaption();
  hide();
}

void CProgressDialog::fitToCaption() {
  // The caption is the title too, but a title bar clips it: the window
  // grows to show it whole inside.
  caption_->setText(windowTitle());
  caption_->adjustSize();
  const int width = std::max(kMinWidth, caption_->width() + 2 * kMargin);
  bar_->setGeometry(kMargin, kBarTop, width - 2 * kMargin, kBarHeight);
  int height = kHeight;
  if (cancel_->isVisibleTo(this)) {
    cancel_->adjustSize();
    cancel_->move(width - kMargin - cancel_->width(), kHeight - 4);
    height += cancel_->height() + 6;
  }
  setFixedSize(width, height);
}

void CProgressDialog::changeEvent(QEvent* event) {
  if (event->type() == QEvent::WindowTitleChange) fitToCaption();
  QDialog::changeEvent(event);
}

CProgressDialog::~CProgressDialog() = default;

void CProgressDialog::setCancellable(bool cancellable) {
  if (cancellable == cancel_->isVisible()) return;
  // The button goes below the bar, and the window grows to hold it.
  cancel_->setVisible(cancellable);
  fitToCaption();
}

void CProgressDialog::SetPos(int position) { bar_->setValue(position); }

void CProgressDialog::StepIt() {
  int next = bar_->value() + step_;
  // Like the platform's bar, stepping past the end starts again at the start.
  if (next > bar_->maximum()) next = bar_->minimum() + (next - bar_->maximum());
  bar_->setValue(next);
}

void CProgressDialog::SetLoadingProgress(int k, int n) {
  setWindowTitle(tr("Loading thumbnails %1 / %2 ...").arg(k).arg(n));
  setCancellable(false);
  SetPos(n > 0 ? static_cast<int>(static_cast<double>(k) / n * 100.0) : 0);
}

void CProgressDialog::showEvent(QShowEvent* event) {
  ++timesShown_;
  QDialog::showEvent(event);
}
