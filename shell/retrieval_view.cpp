#include "shell/retrieval_view.h"

#include <QApplication>
#include <QComboBox>
#include <QSignalBlocker>
#include <algorithm>
#include <memory>

#include "numeric/parallel.h"
#include "retrieval/color_mode.h"
#include "shell/folim_doc.h"
#include "shell/messages.h"
#include "shell/progress_dialog.h"
#include "shell/query_box.h"
#include "shell/up_down.h"
#include "ui_retrieval_view.h"

namespace {

int percentOf(int k, int n) {
  return n == 0 ? 0 : static_cast<int>(static_cast<double>(k) / static_cast<double>(n) * 100.0);
}

}  // namespace

CRetrievalView::CRetrievalView(CFolimDoc& doc, QWidget* parent)
    : CJobForm(doc, parent),
      searchThreads(KPX::coreCount()),
      ui_(std::make_unique<Ui::CRetrievalView>()),
      search_(new CSearchModel(doc, this)) {
  ui_->setupUi(this);
  ui_->queryBox->setDocument(&doc);
  InitControls();
  connectSharedControls();
  connect(ui_->weightSlider, &QSlider::valueChanged, this, [this] { WeightSliderMoved(); });
  connect(ui_->weightSpin, &CUpDown::scrolled, this, &CRetrievalView::WeightSpinMoved);
  connect(ui_->colorModeCombo, &QComboBox::currentIndexChanged, this,
          [this] { ColorModeChanged(); });
  connect(ui_->searchButton, &QPushButton::clicked, this, [this] { Search(); });
  connect(ui_->defaultButton, &QPushButton::clicked, this, &CRetrievalView::RestoreDefaultWeights);
  // One long job at a time.
  connect(&doc_, &CFolimDoc::busyChanged, ui_->searchButton,
          [this](bool busy) { ui_->searchButton->setEnabled(!busy); });
  connect(search_, &CSearchModel::started, this, [this] {
    emit searchStarted();
    QApplication::setOverrideCursor(Qt::BusyCursor);
  });
  connect(search_, &CSearchModel::progress, this, [this](int percent, const QString& caption) {
    if (progress_ == nullptr) return;
    progress_->setWindowTitle(caption);
    progress_->SetPos(percent);
    progress_->setCancellable(true);
    if (!progress_->isVisible()) progress_->show();
  });
  connect(search_, &CSearchModel::ended, this, [this] {
    QApplication::restoreOverrideCursor();
    if (progress_ == nullptr) return;
    progress_->hide();
    progress_->setCancellable(false);
  });
  connect(search_, &CSearchModel::messageRaised, this,
          [](const QString& text) { showMessage(text); });
  connect(search_, &CSearchModel::rankingArrived, this, &CRetrievalView::showRankingArriving);
  connect(search_, &CSearchModel::finished, this, &CRetrievalView::searchFinished);
}

void CRetrievalView::setProgressWindow(CProgressDialog* progress) {
  progress_ = progress;
  connect(progress_, &CProgressDialog::cancelled, search_, &CSearchModel::Cancel);
}

void CRetrievalView::RestoreDefaultWeights() {
  const int mode = selectedColorMode();
  if (const auto preset = ColorModeOf(mode)) colorWeight = PresetColorPercent(*preset);
  showWeight(colorWeight);
  const QSignalBlocker blocker(ui_->weightSlider);
  ui_->weightSlider->setValue(colorWeight);
  ui_->weightSpin->setValue(colorWeight);
}

CRetrievalView::~CRetrievalView() = default;

void CRetrievalView::InitControls() {
  // Setting the controls from here is no user action.
  const QSignalBlocker sliderSignals(ui_->weightSlider);
  const QSignalBlocker comboSignals(ui_->colorModeCombo);
  ui_->weightSlider->setRange(0, 100);
  ui_->weightSlider->setValue(colorWeight);
  ui_->weightSpin->setRange(0, 100);
  ui_->weightSpin->setValue(colorWeight);
  ui_->colorPercentEdit->setText(QStringLiteral("70"));
  ui_->edgePercentEdit->setText(QStringLiteral("30"));
  ui_->colorModeCombo->clear();
  // Explicit positions: the order never depends on sorting.
  ui_->colorModeCombo->insertItem(0, tr("Block mean"));
  ui_->colorModeCombo->insertItem(1, tr("Histogram"));
  ui_->colorModeCombo->insertItem(2, QStringLiteral("MPEG-7 CSD"));
  ui_->colorModeCombo->insertItem(3, tr("Robust"));
  ui_->colorModeCombo->setCurrentIndex(2);
}

void CRetrievalView::showWeight(int colorPercent) {
  ui_->colorPercentEdit->setText(QString::number(colorPercent));
  ui_->edgePercentEdit->setText(QString::number(100 - colorPercent));
}

void CRetrievalView::WeightSliderMoved() {
  const int p = ui_->weightSlider->value();
  showWeight(p);
  ui_->weightSpin->setValue(p);
}

void CRetrievalView::WeightSpinMoved(int position) {
  showWeight(position);
  const QSignalBlocker blocker(ui_->weightSlider);
  ui_->weightSlider->setValue(position);
}

void CRetrievalView::ColorModeChanged() {
  colorMode = ui_->colorModeCombo->currentIndex();
  if (const auto preset = ColorModeOf(colorMode)) colorWeight = PresetColorPercent(*preset);
  showWeight(colorWeight);
  const QSignalBlocker blocker(ui_->weightSlider);
  ui_->weightSlider->setValue(colorWeight);
  ui_->weightSpin->setValue(colorWeight);
}

int CRetrievalView::selectedColorMode() const {
  const QComboBox* combo = ui_->colorModeCombo;
  const int index = combo->currentIndex();
  // Text typed into the field selects nothing, even before Enter is pressed.
  if (index < 0 || combo->currentText() != combo->itemText(index)) return -1;
  return index;
}

void CRetrievalView::Search() { startSearch(false); }

void CRetrievalView::SearchEveryIndexedFolder() { startSearch(true); }

void CRetrievalView::startSearch(bool everyIndexedFolder) {
  if (search_->IsSearching() || doc_.IsBusy()) return;
  colorMode = selectedColorMode();
  QString refusal;
  if (!search_->Start({colorMode, ui_->colorPercentEdit->text(), searchThreads, everyIndexedFolder},
                      &refusal) &&
      !refusal.isEmpty())
    showMessage(refusal);
}

void CRetrievalView::showRankingArriving(int count) {
  if (progress_ == nullptr) return;
  const int n = count;
  progress_->show();
  for (int k = 0; k < n; ++k) {
    progress_->setWindowTitle(tr("Replacing thumbnails %1 / %2 ...").arg(k).arg(n));
    progress_->SetPos(percentOf(k, n));
  }
  progress_->hide();
}

QLineEdit* CRetrievalView::targetDirEdit() const { return ui_->targetDirEdit; }
QCheckBox* CRetrievalView::includeSubDirCheck() const { return ui_->includeSubDirCheck; }
QSlider* CRetrievalView::pageSlider() const { return ui_->pageSlider; }
QLineEdit* CRetrievalView::pageEdit() const { return ui_->pageEdit; }
QLabel* CRetrievalView::pageCountLabel() const { return ui_->pageCountLabel; }
CQueryBox* CRetrievalView::queryBox() const { return ui_->queryBox; }
QSlider* CRetrievalView::weightSlider() const { return ui_->weightSlider; }
CUpDown* CRetrievalView::weightSpin() const { return ui_->weightSpin; }
QLineEdit* CRetrievalView::colorPercentEdit() const { return ui_->colorPercentEdit; }
QLineEdit* CRetrievalView::edgePercentEdit() const { return ui_->edgePercentEdit; }
QComboBox* CRetrievalView::colorModeCombo() const { return ui_->colorModeCombo; }
QPushButton* CRetrievalView::searchButton() const { return ui_->searchButton; }
QPushButton* CRetrievalView::defaultButton() const { return ui_->defaultButton; }
