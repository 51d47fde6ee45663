#include "shell/convert2bmp_view.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <algorithm>
#include <vector>

#include "imageio/batch_convert.h"
#include "shell/folim_doc.h"
#include "shell/messages.h"
#include "shell/native_path.h"
#include "ui_convert2bmp_view.h"

CConvert2BMPView::CConvert2BMPView(CFolimDoc& doc, QWidget* parent)
    : CConvertForm(doc, parent), ui_(std::make_unique<Ui::CConvert2BMPView>()) {
  ui_->setupUi(this);
  connectConvertControls();
}

CConvert2BMPView::~CConvert2BMPView() = default;

void CConvert2BMPView::OnConvert() {
  if (IsConverting() || doc_.IsBusy()) return;

  // The save folder is not checked here: when it is missing every file fails
  // and is named in the final message. An empty field stays empty rather
  // than becoming the root folder.
  const QString save = ui_->saveDirEdit->text();
  const std::string saveDir = save.isEmpty() ? std::string() : toNativePath(withFinalSlash(save));

  std::vector<ListedImage> items = doc_.TakeWorkList();
  const int n = static_cast<int>(items.size());
  // A bar of range 0..0 would show a busy animation instead of a position.
  ui_->convertProgress->setRange(0, std::max(n, 1));
  ui_->convertProgress->setValue(0);
  setStatus(QString());
  startConversion(std::move(items),
                  [saveDir](const std::vector<ListedImage>& list, const std::atomic<bool>* cancel,
                            const BatchProgress& step) {
                    BmpConversionOptions options;
                    options.cancel = cancel;
                    options.progress = step;
                    return convertToBmp(list, saveDir, options);
                  });
}

void CConvert2BMPView::showStep(int index, int total, const QString& /*name*/) {
  ui_->counterLabel->setText(QString::fromStdString(
      progressCounterText(static_cast<std::size_t>(index), static_cast<std::size_t>(total))));
  ui_->convertProgress->setValue(index);
}

void CConvert2BMPView::showEnd(const BatchReport& report, bool cancelled, int attempted) {
  ui_->counterLabel->clear();
  ui_->convertProgress->setValue(0);
  const int total = static_cast<int>(report.files.size());
  const int converted = total - static_cast<int>(report.failedCount());
  if (cancelled) {
    const QString message = cancelledMessage(report, attempted, kMsgBmpFailed, false);
    setStatus(message.section(QLatin1Char('\n'), 0, 0));
    showMessage(message);
    return;
  }
  setStatus(tr("%1 of %2 files converted.").arg(converted).arg(total));
  showMessage(fromNativePath(report.message));
}

QLineEdit* CConvert2BMPView::targetDirEdit() const { return ui_->targetDirEdit; }
QCheckBox* CConvert2BMPView::includeSubDirCheck() const { return ui_->includeSubDirCheck; }
QSlider* CConvert2BMPView::pageSlider() const { return ui_->pageSlider; }
QLineEdit* CConvert2BMPView::pageEdit() const { return ui_->pageEdit; }
QLabel* CConvert2BMPView::pageCountLabel() const { return ui_->pageCountLabel; }
QLineEdit* CConvert2BMPView::saveDirEdit() const { return ui_->saveDirEdit; }
QPushButton* CConvert2BMPView::browseTargetButton() const { return ui_->browseTargetButton; }
QPushButton* CConvert2BMPView::browseSaveButton() const { return ui_->browseSaveButton; }
QPushButton* CConvert2BMPView::convertButton() const { return ui_->convertButton; }
QPushButton* CConvert2BMPView::cancelButton() const { return ui_->cancelButton; }
QLabel* CConvert2BMPView::jobStatusLabel() const { return ui_->jobStatusLabel; }
QProgressBar* CConvert2BMPView::progressBar() const { return ui_->convertProgress; }
QLabel* CConvert2BMPView::counterLabel() const { return ui_->counterLabel; }
