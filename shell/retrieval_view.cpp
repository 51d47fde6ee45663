#include "shell/retrieval_view.h"

#include "shell/query_box.h"
#include "ui_retrieval_view.h"

CRetrievalView::CRetrievalView(QWidget* parent)
    : CJobForm(parent), ui_(std::make_unique<Ui::CRetrievalView>()) {
  ui_->setupUi(this);
  InitControls();
  connectSharedControls();
}

CRetrievalView::~CRetrievalView() = default;

void CRetrievalView::InitControls() {
  ui_->weightSlider->setRange(0, 100);
  ui_->weightSlider->setValue(colorWeight);
  ui_->weightSpin->setRange(0, 100);
  ui_->weightSpin->setValue(colorWeight);
  ui_->colorPercentEdit->setText(QStringLiteral("70"));
  ui_->edgePercentEdit->setText(QStringLiteral("30"));
  ui_->colorModeCombo->clear();
  ui_->colorModeCombo->insertItem(0, QStringLiteral("Block mean"));
  ui_->colorModeCombo->insertItem(1, QStringLiteral("Histogram"));
  ui_->colorModeCombo->insertItem(2, QStringLiteral("MPEG-7 CSD"));
  ui_->colorModeCombo->setCurrentIndex(2);
}

QLineEdit* CRetrievalView::targetDirEdit() const { return ui_->targetDirEdit; }
QCheckBox* CRetrievalView::includeSubDirCheck() const { return ui_->includeSubDirCheck; }
QSlider* CRetrievalView::pageSlider() const { return ui_->pageSlider; }
QLineEdit* CRetrievalView::pageEdit() const { return ui_->pageEdit; }
QLabel* CRetrievalView::pageCountLabel() const { return ui_->pageCountLabel; }
CQueryBox* CRetrievalView::queryBox() const { return ui_->queryBox; }
