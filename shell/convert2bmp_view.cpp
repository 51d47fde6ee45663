#include "shell/convert2bmp_view.h"

#include "ui_convert2bmp_view.h"

CConvert2BMPView::CConvert2BMPView(QWidget* parent)
    : CJobForm(parent), ui_(std::make_unique<Ui::CConvert2BMPView>()) {
  ui_->setupUi(this);
  connectSharedControls();
}

CConvert2BMPView::~CConvert2BMPView() = default;

QLineEdit* CConvert2BMPView::targetDirEdit() const { return ui_->targetDirEdit; }
QCheckBox* CConvert2BMPView::includeSubDirCheck() const { return ui_->includeSubDirCheck; }
QSlider* CConvert2BMPView::pageSlider() const { return ui_->pageSlider; }
QLineEdit* CConvert2BMPView::pageEdit() const { return ui_->pageEdit; }
QLabel* CConvert2BMPView::pageCountLabel() const { return ui_->pageCountLabel; }
