#include "shell/retrieval_view.h"

#include <QApplication>
#include <QComboBox>
#include <QSignalBlocker>
#include <algorithm>
#include <memory>

#include "numeric/parallel.h"
#include "retrieval/search.h"
#include "shell/folim_doc.h"
#include "shell/indexed_search.h"
#include "shell/messages.h"
#include "shell/native_path.h"
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

CRetrievalView::CRetrievalView(CFolimDoc& doc, QWidget* parent)
    : CJobForm(doc, parent),
      searchThreads(KPX::coreCount()),
      ui_(std::make_unique<Ui::CRetrievalView>()) {
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
  connect(&doc_.jobs(), &CJobRunner::progress, this,
          [this](int percent, int, const QString& caption) {
            if (!searching_ || progress_ == nullptr) return;
            progress_->setWindowTitle(caption);
            progress_->SetPos(percent);
            progress_->setCancellable(true);
            if (!progress_->isVisible()) progress_->show();
          });
}

void CRetrievalView::setProgressWindow(CProgressDialog* progress) {
  progress_ = progress;
  connect(progress_, &CProgressDialog::cancelled, this, [this] {
    if (searching_) doc_.jobs().cancel();
  });
}

void CRetrievalView::RestoreDefaultWeights() {
  const int mode = selectedColorMode();
  if (mode >= 0 && mode <= 2) colorWeight = kPresetWeights[mode];
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
  if (searching_ || doc_.IsBusy()) return;

  colorMode = selectedColorMode();
  if (!IsValidColorMode(colorMode)) {
    showMessage(QString::fromUtf8(kMessageBadColorMode));
    return;
  }

  if (doc_.m_currentPath.isEmpty()) {
    showMessage(tr(kMessageNoQuery));
    return;
  }

  SearchRequest request;
  request.queryPath = toNativePath(doc_.m_currentPath);
  // Before any image has been chosen there is no query: that is no RIM file.
  request.queryBaseType =
      doc_.m_currentPath.isEmpty() ? kBaseTypeOther : doc_.m_currentImage.m_nBaseType;
  request.colorMode = colorMode;
  request.colorWeightText = ui_->colorPercentEdit->text().toStdString();
  request.threads = searchThreads;

  // The page still loading shares the progress window; it is loaded again
  // when the search leaves the list as it was.
  const bool pageWasLoading = doc_.IsLoadingThumbnails();
  doc_.StopLoadingThumbnails();
  auto entries = std::make_shared<const std::vector<ImageEntry>>(doc_.m_entries);
  auto result = std::make_shared<SearchResult>();

  searching_ = true;
  emit searchStarted();
  QApplication::setOverrideCursor(Qt::BusyCursor);
  if (NeedsIndex(request.queryBaseType, *entries)) {
    IndexedSearchRequest indexed;
    indexed.queryPath = request.queryPath;
    indexed.folder = toNativePath(doc_.m_currentDir);
    indexed.recursive = doc_.m_includeSubDirs != 0;
    indexed.colorMode = request.colorMode;
    indexed.colorWeightText = request.colorWeightText;
    indexed.threads = request.threads;
    auto outcome = std::make_shared<IndexedSearchOutcome>();
    doc_.jobs().start(
        [indexed, result, outcome](const CJobRunner::Control& control) {
          *result = RunIndexedSearch(
              indexed, control.cancelFlag(),
              [&control](int percent, const QString& caption) {
                control.report(percent, 100, caption);
              },
              *outcome);
        },
        this,
        [this, result, outcome, pageWasLoading](bool cancelled) {
          onSearchDone(*result, cancelled, pageWasLoading);
          if (!outcome->notice.isEmpty()) showMessage(outcome->notice);
        });
    return;
  }
  doc_.jobs().start(
      [request, entries, result](const CJobRunner::Control& control) {
        SearchRequest cancellable = request;
        cancellable.cancel = control.cancelFlag();
        *result =
            RunSearch(cancellable, *entries, [&control](const std::string& caption, int percent) {
              control.report(percent, 100, QString::fromStdString(caption));
            });
      },
      this,
      [this, result, pageWasLoading](bool cancelled) {
        onSearchDone(*result, cancelled, pageWasLoading);
      });
}

void CRetrievalView::onSearchDone(const SearchResult& result, bool cancelled, bool pageWasLoading) {
  QApplication::restoreOverrideCursor();
  searching_ = false;
  if (progress_ != nullptr) {
    progress_->hide();
    progress_->setCancellable(false);
  }
  if (cancelled || result.outcome != SearchOutcome::Ranked) {
    if (!cancelled) showMessage(QString::fromStdString(result.message));
    if (pageWasLoading) doc_.LoadThumbnails();
    emit searchFinished();
    return;
  }

  const std::size_t n = result.candidates.size();
  if (progress_ != nullptr) {
    progress_->show();
    for (std::size_t k = 0; k < n; ++k) {
      progress_->setWindowTitle(QStringLiteral("Replacing thumbnails %1 / %2 ...").arg(k).arg(n));
      progress_->SetPos(percentOf(k, n));
    }
    progress_->hide();
  }
  doc_.ShowRanking(result.candidates);
  emit searchFinished();
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
