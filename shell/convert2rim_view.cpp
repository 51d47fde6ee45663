#include "shell/convert2rim_view.h"

#include "ui_convert2rim_view.h"

CConvert2RIMView::CConvert2RIMView(QWidget* parent)
    : CJobForm(parent), ui_(std::make_unique<Ui::CConvert2RIMView>()) {
  ui_->setupUi(this);
  OnInitialUpdate();
  connectSharedControls();
}

CConvert2RIMView::~CConvert2RIMView() = default;

void CConvert2RIMView::OnInitialUpdate() {
  ui_->basesCombo->clear();
  ui_->basesCombo->insertItem(0, QStringLiteral("PCA"));
  ui_->basesCombo->insertItem(1, QStringLiteral("ICA"));
  ui_->basesCombo->setCurrentIndex(0);
}

QLineEdit* CConvert2RIMView::targetDirEdit() const { return ui_->targetDirEdit; }
QCheckBox* CConvert2RIMView::includeSubDirCheck() const { return ui_->includeSubDirCheck; }
QSlider* CConvert2RIMView::pageSlider() const { return ui_->pageSlider; }
QLineEdit* CConvert2RIMView::pageEdit() const { return ui_->pageEdit; }
QLabel* CConvert2RIMView::pageCountLabel() const { return ui_->pageCountLabel; }
