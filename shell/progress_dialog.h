// The small modeless window with one progress bar (0 to 100, step 5) that
// thumbnail loading and the search show while they run.
#pragma once

#include <QDialog>

class QProgressBar;

class CProgressDialog : public QDialog {
  Q_OBJECT

 public:
  // Registers itself as the document's progress window; starts hidden.
  CProgressDialog();
  ~CProgressDialog() override;

  QProgressBar* progressBar() const { return bar_; }
  void SetPos(int position);
  // Advances the bar by its step.
  void StepIt();
  // Caption "Loading thumbnails k / n ..." and bar trunc(k / n * 100).
  void SetLoadingProgress(int k, int n);

  // How often the window has been shown since it was made.
  int timesShown() const { return timesShown_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QProgressBar* bar_;
  int step_ = 5;
  int timesShown_ = 0;
};
