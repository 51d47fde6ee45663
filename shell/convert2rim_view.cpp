#include "shell/convert2rim_view.h"

#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <vector>

#include "imageio/batch_convert.h"
#include "shell/batch_messages.h"
#include "shell/folim_doc.h"
#include "shell/messages.h"
#include "shell/native_path.h"
#include "shell/rim_conversion.h"
#include "ui_convert2rim_view.h"

namespace {

// The presets' names as the list shows them; the conversion takes the
// preset by its place.
[[maybe_unused]] constexpr const char* kPresetNames[] = {
    QT_TRANSLATE_NOOP("CConvert2RIMView", "archive"), QT_TRANSLATE_NOOP("CConvert2RIMView", "high"),
    QT_TRANSLATE_NOOP("CConvert2RIMView", "normal"),
    QT_TRANSLATE_NOOP("CConvert2RIMView", "small")};

}  // namespace

CConvert2RIMView::CConvert2RIMView(CFolimDoc& doc, QWidget* parent)
    : CConvertForm(doc, parent), ui_(std::make_unique<Ui::CConvert2RIMView>()) {
  ui_->setupUi(this);
  OnInitialUpdate();
  connectConvertControls();
  // Shown once a conversion has started.
  ui_->convertProgress->hide();
}

CConvert2RIMView::~CConvert2RIMView() = default;

void CConvert2RIMView::OnInitialUpdate() {
  ui_->basesCombo->clear();
  for (const char* method : kBasesMethods) ui_->basesCombo->addItem(QString::fromUtf8(method));
  ui_->basesCombo->setCurrentIndex(0);
  ui_->qualityCombo->clear();
  ui_->qualityCombo->addItem(QStringLiteral("config.ini"));
  for (const QualityPreset& preset : qualityPresets()) ui_->qualityCombo->addItem(tr(preset.name));
  ui_->qualityCombo->setCurrentIndex(0);
}

void CConvert2RIMView::setJobControlsEnabled(bool enabled) {
  CConvertForm::setJobControlsEnabled(enabled);
  ui_->basesCombo->setEnabled(enabled);
  ui_->qualityCombo->setEnabled(enabled);
}

void CConvert2RIMView::OnConvert() {
  if (IsConverting() || doc_.IsBusy()) return;

  const QString target = ui_->targetDirEdit->text();
  if (!offerToCreateSaveDir(ui_->saveDirEdit->text())) return;
  const RimConversionPlan plan =
      PlanRimConversion({ui_->saveDirEdit->text(), ui_->basesCombo->currentIndex(),
                         ui_->qualityCombo->currentIndex()},
                        doc_.listing().size());
  if (!plan.refusal.isEmpty()) {
    showMessage(plan.refusal);
    return;
  }

  std::vector<ListedImage> items = doc_.TakeWorkList();
  if (!confirmExistingOutputs(items, plan.saveDir, "rim")) {
    doc_.ReleaseWorkList();
    return;
  }
  m_saveDir = plan.saveDir;
  m_bases = plan.bases;
  m_quality = plan.quality;
  // The target folder is listed again, and the thumbnails with it, so that a
  // click on a thumbnail always refers to the list the document holds.
  if (!target.isEmpty()) doc_.ListFolder(target);

  setStatus(translateBatchText(kMsgStartConverting));
  ui_->convertProgress->setRange(0, static_cast<int>(items.size()));
  ui_->convertProgress->setValue(0);
  ui_->convertProgress->show();
  const RimConversionOptions options = plan.options;
  const std::string saveDir = toNativePath(m_saveDir);
  startConversion(std::move(items),
                  [options, saveDir](const std::vector<ListedImage>& list,
                                     const std::atomic<bool>* cancel, const BatchProgress& step) {
                    RimConversionOptions run = options;
                    run.cancel = cancel;
                    run.progress = step;
                    return convertToRim(list, saveDir, run);
                  });
}

void CConvert2RIMView::showStep(int index, int total, const QString& name) {
  ui_->convertProgress->setRange(0, total);
  ui_->convertProgress->setValue(index);
  setStatus(tr("Converting %1 / %2: %3").arg(index + 1).arg(total).arg(name));
}

void CConvert2RIMView::showEnd(const BatchReport& report, bool cancelled, int attempted) {
  ui_->convertProgress->setValue(cancelled ? attempted : ui_->convertProgress->maximum());
  const int total = static_cast<int>(report.files.size());
  const int converted = total - static_cast<int>(report.failedCount());
  if (cancelled) {
    const QString message = cancelledMessage(report, attempted, kMsgRimFailed, true);
    setStatus(message.section(QLatin1Char('\n'), 0, 0));
    showMessage(message);
    return;
  }
  setStatus(tr("%1 of %2 files converted.").arg(converted).arg(total));
  showMessage(translateBatchText(report.message));
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
QPushButton* CConvert2RIMView::cancelButton() const { return ui_->cancelButton; }
QLabel* CConvert2RIMView::jobStatusLabel() const { return ui_->jobStatusLabel; }
QProgressBar* CConvert2RIMView::progressBar() const { return ui_->convertProgress; }
