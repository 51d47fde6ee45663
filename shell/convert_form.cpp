#include "shell/convert_form.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <memory>

#include "imageio/batch_convert.h"
#include "shell/file_dialogs.h"
#include "shell/folim_doc.h"
#include "shell/native_path.h"

void CConvertForm::connectConvertControls() {
  connectSharedControls();
  connect(browseTargetButton(), &QPushButton::clicked, this, [this] { OnBrowseTarget(); });
  connect(browseSaveButton(), &QPushButton::clicked, this, [this] { OnBrowseSave(); });
  connect(convertButton(), &QPushButton::clicked, this, [this] { OnConvert(); });
  connect(cancelButton(), &QPushButton::clicked, this, &CConvertForm::OnCancel);
  // One long job at a time.
  connect(&doc_, &CFolimDoc::busyChanged, this,
          [this](bool busy) { convertButton()->setEnabled(!busy); });
}

void CConvertForm::OnBrowseTarget() {
  const QString folder = askFolderPath(this, pickerTitle(), targetDirEdit()->text());
  if (folder.isEmpty()) return;
  targetDirEdit()->setText(folder);
  if (saveDirEdit()->text().isEmpty()) saveDirEdit()->setText(folder);
  // The field never had the focus, so leaving it will not list the folder:
  // list it now, or "Convert" would work on the folder listed before.
  OnTargetKillFocus();
}

void CConvertForm::OnBrowseSave() {
  const QString folder = askFolderPath(this, pickerTitle(), saveDirEdit()->text());
  if (folder.isEmpty()) return;
  saveDirEdit()->setText(folder);
}

void CConvertForm::OnCancel() {
  if (!converting_) return;
  cancelButton()->setEnabled(false);
  doc_.jobs().cancel();
}

void CConvertForm::setStatus(const QString& text) { jobStatusLabel()->setText(text); }

void CConvertForm::setJobControlsEnabled(bool enabled) {
  for (QWidget* control :
       std::initializer_list<QWidget*>{convertButton(), targetDirEdit(), browseTargetButton(),
                                       saveDirEdit(), browseSaveButton(), includeSubDirCheck()}) {
    control->setEnabled(enabled);
  }
  cancelButton()->setEnabled(!enabled);
}

bool CConvertForm::startConversion(std::vector<ListedImage> items, Convert convert) {
  if (doc_.IsBusy()) return false;
  struct Outcome {
    BatchReport report;
    std::atomic<int> attempted{0};
  };
  auto outcome = std::make_shared<Outcome>();
  auto work = [items = std::move(items), convert = std::move(convert),
               outcome](const CJobRunner::Control& control) {
    outcome->report = convert(
        items, control.cancelFlag(),
        [&control, outcome](std::size_t i, std::size_t n, const ListedImage& item) {
          outcome->attempted = static_cast<int>(i) + 1;
          control.report(static_cast<int>(i), static_cast<int>(n), fromNativePath(item.name));
        });
  };
  auto progress =
      connect(&doc_.jobs(), &CJobRunner::progress, this,
              [this](int done, int total, const QString& name) { showStep(done, total, name); });
  converting_ = true;
  setJobControlsEnabled(false);
  const bool started =
      doc_.jobs().start(std::move(work), this, [this, outcome, progress](bool cancelled) {
        disconnect(progress);
        converting_ = false;
        doc_.ReleaseWorkList();
        setJobControlsEnabled(true);
        showEnd(outcome->report, cancelled, outcome->attempted);
        emit conversionFinished();
      });
  if (!started) {
    disconnect(progress);
    converting_ = false;
    setJobControlsEnabled(true);
  }
  return started;
}

QString withFinalSlash(const QString& dir) {
  return dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
}

QString cancelledMessage(const BatchReport& report, int attempted, const char* failedTitle,
                         bool listOutputs) {
  int converted = 0;
  QString failures;
  for (int i = 0; i < attempted && i < static_cast<int>(report.files.size()); ++i) {
    const ConversionResult& file = report.files[static_cast<std::size_t>(i)];
    if (file.ok) {
      ++converted;
    } else {
      failures += fromNativePath(listOutputs ? file.output : file.name) + QLatin1Char('\n');
    }
  }
  QString text = CConvertForm::tr("Conversion cancelled: %1 of %2 files converted.")
                     .arg(converted)
                     .arg(report.files.size());
  if (!failures.isEmpty()) text += QLatin1Char('\n') + QString::fromUtf8(failedTitle) + failures;
  return text;
}
