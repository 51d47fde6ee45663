#include "shell/convert2rim_view.h"

#include <QComboBox>
#include <QLineEdit>
#include <vector>

#include "imageio/batch_convert.h"
#include "shell/background_task.h"
#include "shell/folim_doc.h"
#include "shell/messages.h"
#include "shell/native_path.h"
#include "ui_convert2rim_view.h"

CConvert2RIMView::CConvert2RIMView(QWidget* parent)
    : CConvertForm(parent), ui_(std::make_unique<Ui::CConvert2RIMView>()) {
  ui_->setupUi(this);
  OnInitialUpdate();
  connectConvertControls();
}

CConvert2RIMView::~CConvert2RIMView() {
  if (worker_.joinable()) {
    cancel_ = true;
    worker_.join();
  }
}

void CConvert2RIMView::OnInitialUpdate() {
  ui_->basesCombo->clear();
  ui_->basesCombo->insertItem(0, QStringLiteral("PCA"));
  ui_->basesCombo->insertItem(1, QStringLiteral("ICA"));
  ui_->basesCombo->setCurrentIndex(0);
  ui_->qualityCombo->clear();
  ui_->qualityCombo->addItem(QStringLiteral("config.ini"));
  for (const QualityPreset& preset : qualityPresets())
    ui_->qualityCombo->addItem(QString::fromUtf8(preset.name));
  ui_->qualityCombo->setCurrentIndex(0);
}

void CConvert2RIMView::setJobControlsEnabled(bool enabled) {
  for (QWidget* control : std::initializer_list<QWidget*>{
           ui_->convertButton, ui_->targetDirEdit, ui_->browseTargetButton, ui_->saveDirEdit,
           ui_->browseSaveButton, ui_->basesCombo, ui_->qualityCombo, ui_->includeSubDirCheck}) {
    control->setEnabled(enabled);
  }
}

void CConvert2RIMView::OnConvert() {
  CFolimDoc* doc = GetFolimDoc();
  if (doc == nullptr || converting_) return;

  const QString target = ui_->targetDirEdit->text();
  const QString save = ui_->saveDirEdit->text();
  const QString bases = ui_->basesCombo->currentText();
  const std::string refusal = checkRimConversionStart(toNativePath(save), doc->m_entries.size());
  if (!refusal.empty()) {
    showMessage(QString::fromStdString(refusal));
    return;
  }

  std::vector<ListedImage> items = takeWorkList(*doc);
  m_saveDir = withFinalSlash(save);
  m_bases = bases;
  m_quality = ui_->qualityCombo->currentIndex() > 0 ? ui_->qualityCombo->currentText() : QString();
  m_pDoc = doc;

  // The target folder is listed again, and the thumbnails with it, so that a
  // click on a thumbnail always refers to the list the document holds.
  if (!target.isEmpty()) {
    doc->SetDirectory(target);
    doc->ResetPaging();
  }
  showMessage(QString::fromUtf8(kMsgStartConverting));

  RimConversionOptions options;
  options.method = m_bases.toStdString();
  options.settings.quality = m_quality.toStdString();
  options.cancel = &cancel_;
  cancel_ = false;
  converting_ = true;
  setJobControlsEnabled(false);
  emit conversionRunning(true);
  worker_ =
      std::thread([this, items = std::move(items), saveDir = toNativePath(m_saveDir), options] {
        BatchReport report = convertToRim(items, saveDir, options);
        postTo(this, [this, report = std::move(report)] { OnWorkerFinished(report); });
      });
}

void CConvert2RIMView::OnWorkerFinished(const BatchReport& report) {
  if (worker_.joinable()) worker_.join();
  converting_ = false;
  if (CFolimDoc* doc = GetFolimDoc()) {
    doc->m_convertNames.clear();
    doc->m_convertPaths.clear();
  }
  setJobControlsEnabled(true);
  emit conversionRunning(false);
  showMessage(fromNativePath(report.message));
  emit conversionFinished();
}

QLineEdit* CConvert2RIMView::targetDirEdit() const { return ui_->targetDirEdit; }
QCheckBox* CConvert2RIMView::includeSubDirCheck() const { return ui_->includeSubDirCheck; }
QSlider* CConvert2RIMView::pageSlider() const { return ui_->pageSlider; }
QLineEdit* CConvert2RIMView::pageEdit() const { return ui_->pageEdit; }
QLabel* CConvert2RIMView::pageCountLabel() const { return ui_->pageCountLabel; }
QLineEdit* CConvert2RIMView::saveDirEdit() const { return ui_->saveDirEdit; }
QPushButton* CConvert2RIMView::browseTargetButton() const { return ui_->browseTargetButton; }
QPushButton* CConvert2RIMView::browseSaveButton() const { return ui_->browseSaveButton; }
QPushButton* CConvert2RIMView::convertButton() const { return ui_->convertButton; }
QComboBox* CConvert2RIMView::basesCombo() const { return ui_->basesCombo; }
QComboBox* CConvert2RIMView::qualityCombo() const { return ui_->qualityCombo; }
