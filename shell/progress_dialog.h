// The small modeless window with one progress bar (0 to 100, step 5) that
// thumbnail loading and the search show while they run. Its title is the
// caption of the work, also shown whole above the bar.
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

class CProgressDialog : public QDialog {
  Q_OBJECT

 public:
  // Starts hidden.
  CProgressDialog();
  ~CProgressDialog() override;

  QProgressBar* progressBar() const { return bar_; }
  QLabel* captionLabel() const { return caption_; }
  // Shown while a job that can stop is reported (a search).
  QPushButton* cancelButton() const { return cancel_; }
  void setCancellable(bool cancellable);
  void SetPos(int position);
  // Advances the bar by its step.
  void StepIt();
  // Caption "Loading thumbnails k / n ..." and bar trunc(k / n * 100).
  void SetLoadingProgress(int k, int n);

  // How often the window has been shown since it was made.
  int timesShown() const { return timesShown_; }

 signals:
  void cancelled();

 protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // Wide enough for the caption, the bar under it, Cancel under the bar.
  void fitToCaption();

  QLabel* caption_;
  QProgressBar* bar_;
  QPushButton* cancel_;
  int step_ = 5;
  int timesShown_ = 0;
};
