// What the two conversion forms have beyond the shared job controls: the
// "Save Directory" field, the two "参照" buttons that pick the target and
// the save folder, "Convert", and while a conversion runs its progress, a
// Cancel button and afterwards how many files were converted.
#pragma once

#include <QString>
#include <atomic>
#include <cstddef>
#include <functional>
#include <vector>

#include "imageio/listing.h"
#include "shell/job_form.h"

struct BatchReport;
class QLabel;
class QPushButton;

class CConvertForm : public CJobForm {
  Q_OBJECT

 public:
  using CJobForm::CJobForm;

  virtual QLineEdit* saveDirEdit() const = 0;
  virtual QPushButton* browseTargetButton() const = 0;
  virtual QPushButton* browseSaveButton() const = 0;
  virtual QPushButton* convertButton() const = 0;
  // Stops the running conversion (enabled only while one runs).
  virtual QPushButton* cancelButton() const = 0;
  // What the last conversion came to ("5 of 12 images converted.").
  virtual QLabel* jobStatusLabel() const = 0;
  // Title of the folder picker: "Convert to RIM" or "Convert to BMP".
  virtual QString pickerTitle() const = 0;

  // Picks the target folder and lists it; an empty "Save Directory" takes
  // it too.
  void OnBrowseTarget();
  void OnBrowseSave();
  virtual void OnConvert() = 0;
  // Stops the running conversion after the file in hand.
  void OnCancel();

  bool IsConverting() const { return converting_; }
  bool IsRunningJob() const override { return converting_; }

 signals:
  // The final message of a conversion has been shown.
  void conversionFinished();

 protected:
  // Wires the shared controls and the buttons.
  void connectConvertControls();
  // Runs convert on the document's job runner with the listing as work
  // list; progress(done, total, name) arrives on this thread, and
  // finished(report, attempted) when it ends. False when a job runs.
  using Convert = std::function<BatchReport(
      const std::vector<ListedImage>& items, const std::atomic<bool>* cancel,
      const std::function<void(std::size_t, std::size_t, const ListedImage&)>& step)>;
  bool startConversion(std::vector<ListedImage> items, Convert convert);
  // The job's controls: everything but Cancel off while it runs.
  virtual void setJobControlsEnabled(bool enabled);
  // Called on this thread for each file started, and at the end.
  virtual void showStep(int index, int total, const QString& name) = 0;
  virtual void showEnd(const BatchReport& report, bool cancelled, int attempted) = 0;
  void setStatus(const QString& text);

 private:
  bool converting_ = false;
};

// dir with a final "/" (the form of a folder the output names are joined to).
QString withFinalSlash(const QString& dir);
// The final message of a cancelled batch: how many were converted, and the
// files that failed before the stop.
QString cancelledMessage(const BatchReport& report, int attempted, const char* failedTitle,
                         bool listOutputs);
