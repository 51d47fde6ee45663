#include "shell/convert2bmp_view.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <algorithm>
#include <vector>

#include "imageio/batch_convert.h"
#include "shell/background_task.h"
#include "shell/folim_doc.h"
#include "shell/messages.h"
#include "shell/native_path.h"
#include "ui_convert2bmp_view.h"

CConvert2BMPView::CConvert2BMPView(QWidget* parent)
    : CConvertForm(parent), ui_(std::make_unique<Ui::CConvert2BMPView>()) {
  ui_->setupUi(this);
  connectConvertControls();
}

CConvert2BMPView::~CConvert2BMPView() = default;

void CConvert2BMPView::setRimConversionRunning(bool running) {
  rimRunning_ = running;
  ui_->convertButton->setEnabled(!rimRunning_ && !converting_);
}

void CConvert2BMPView::OnConvert() {
  CFolimDoc* doc = GetFolimDoc();
  // The work list is the document's while a conversion to RIM runs.
  if (doc == nullptr || converting_ || rimRunning_) return;

  QApplication::setOverrideCursor(Qt::WaitCursor);
  // The save folder is not checked here: when it is missing every file fails
  // and is named in the final message. An empty field stays empty rather
  // than becoming the root folder.
  const QString save = ui_->saveDirEdit->text();
  const std::string saveDir = save.isEmpty() ? std::string() : toNativePath(withFinalSlash(save));

  std::vector<ListedImage> items = takeWorkList(*doc);
  const int n = static_cast<int>(items.size());
  // A bar of range 0..0 would show a busy animation instead of a position.
  ui_->convertProgress->setRange(0, std::max(n, 1));
  ui_->convertProgress->setValue(0);

  converting_ = true;
  ui_->convertButton->setEnabled(false);
  BmpConversionOptions options;
  options.progress = [this](std::size_t index, std::size_t total, const ListedImage&) {
    postTo(this, [this, index, total] {
      ui_->counterLabel->setText(QString::fromStdString(progressCounterText(index, total)));
      ui_->convertProgress->setValue(static_cast<int>(index));
    });
  };
  BatchReport report;
  runWhileRepainting([&] { report = convertToBmp(items, saveDir, options); });

  doc->m_convertNames.clear();
  doc->m_convertPaths.clear();
  ui_->counterLabel->clear();
  ui_->convertProgress->setValue(0);
  converting_ = false;
  ui_->convertButton->setEnabled(!rimRunning_);
  QApplication::restoreOverrideCursor();
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
QProgressBar* CConvert2BMPView::progressBar() const { return ui_->convertProgress; }
QLabel* CConvert2BMPView::counterLabel() const { return ui_->counterLabel; }
