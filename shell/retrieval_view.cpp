#include "shell/retrieval_view.h"

#include <QApplication>
#include <QComboBox>
#include <QSignalBlocker>
#include <algorithm>
#include <thread>

#include "retrieval/search.h"
#include "shell/background_task.h"
#include "shell/folim_doc.h"
#include "shell/messages.h"
#include "shell/native_path.h"
#include "shell/original_image.h"
#include "shell/progress_dialog.h"
#include "shell/query_box.h"
#include "shell/up_down.h"
#include "ui_retrieval_view.h"

namespace {

// Colour percentage preset by each colour measure, by combo index.
constexpr int kPresetWeights[] = {90, 75, 70};

int percentOf(std::size_t k, std::size_t n) {
  return n == 0 ? 0 : static_cast<int>(static_cast<double>(k) / static_cast<double>(n) * 100.0);
}

}  // namespace

CRetrievalView::CRetrievalView(QWidget* parent)
    : CJobForm(parent),
      searchThreads(std::max(1u, std::thread::hardware_concurrency())),
      ui_(std::make_unique<Ui::CRetrievalView>()) {
  ui_->setupUi(this);
  InitControls();
  connectSharedControls();
  connect(ui_->weightSlider, &QSlider::valueChanged, this, [this] { WeightSliderMoved(); });
  connect(ui_->weightSpin, &CUpDown::scrolled, this, &CRetrievalView::WeightSpinMoved);
  connect(ui_->colorModeCombo, &QComboBox::currentIndexChanged, this,
          [this] { ColorModeChanged(); });
  connect(ui_->searchButton, &QPushButton::clicked, this, [this] { Search(); });
  // "Default" has no reaction: what it should restore was never settled.
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
  ui_->colorModeCombo->insertItem(0, QStringLiteral("Block mean"));
  ui_->colorModeCombo->insertItem(1, QStringLiteral("Histogram"));
  ui_->colorModeCombo->insertItem(2, QStringLiteral("MPEG-7 CSD"));
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
  if (colorMode >= 0 && colorMode <= 2) colorWeight = kPresetWeights[colorMode];
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

void CRetrievalView::Search() {
  CFolimDoc* doc = GetFolimDoc();
  if (doc == nullptr || searching_) return;

  colorMode = selectedColorMode();
  if (!IsValidColorMode(colorMode)) {
    showMessage(QString::fromUtf8(kMessageBadColorMode));
    return;
  }
  if (doc->m_pOriginalImage != nullptr) doc->m_pOriginalImage->hide();

  SearchRequest request;
  request.queryPath = toNativePath(doc->m_currentPath);
  // Before any image has been chosen there is no query: that is no RIM file.
  request.queryBaseType =
      doc->m_currentPath.isEmpty() ? kBaseTypeOther : doc->m_currentImage.m_nBaseType;
  request.colorMode = colorMode;
  request.colorWeightText = ui_->colorPercentEdit->text().toStdString();
  request.threads = searchThreads;

  // The page still loading shares the progress window; it is loaded again
  // when the search leaves the list as it was.
  const bool pageWasLoading = doc->IsLoadingThumbnails();
  doc->StopLoadingThumbnails();
  const std::vector<ImageEntry> entries = doc->m_entries;

  CProgressDialog* progress = doc->m_pProgressDialog;
  auto report = [progress](const std::string& caption, int percent) {
    if (progress == nullptr) return;
    postTo(progress, [progress, text = QString::fromStdString(caption), percent] {
      progress->setWindowTitle(text);
      progress->SetPos(percent);
      if (!progress->isVisible()) progress->show();
    });
  };

  searching_ = true;
  ui_->searchButton->setEnabled(false);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  SearchResult result;
  runWhileRepainting([&] { result = RunSearch(request, entries, report); });
  QApplication::restoreOverrideCursor();
  ui_->searchButton->setEnabled(true);
  searching_ = false;
  if (progress != nullptr) progress->hide();

  if (result.outcome != SearchOutcome::Ranked) {
    showMessage(QString::fromStdString(result.message));
    if (pageWasLoading) doc->LoadThumbnails();
    return;
  }

  const std::size_t n = result.candidates.size();
  doc->m_entries.clear();
  doc->m_entries.reserve(n);
  if (progress != nullptr) progress->show();
  for (std::size_t k = 0; k < n; ++k) {
    doc->m_entries.push_back(std::move(result.candidates[k]));
    if (progress != nullptr) {
      progress->setWindowTitle(QStringLiteral("Replacing thumbnails %1 / %2 ...").arg(k).arg(n));
      progress->SetPos(percentOf(k, n));
    }
  }
  if (progress != nullptr) progress->hide();
  doc->ResetPaging();
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
