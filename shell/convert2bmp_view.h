// The "Convert to BMP" form: decodes every listed RIM file into a BMP file.
#pragma once

#include <memory>

#include "shell/job_form.h"

namespace Ui {
class CConvert2BMPView;
}

class CConvert2BMPView : public CJobForm {
  Q_OBJECT

 public:
  explicit CConvert2BMPView(QWidget* parent = nullptr);
  ~CConvert2BMPView() override;

  QLineEdit* targetDirEdit() const override;
  QCheckBox* includeSubDirCheck() const override;
  QSlider* pageSlider() const override;
  QLineEdit* pageEdit() const override;
  QLabel* pageCountLabel() const override;

 private:
  std::unique_ptr<Ui::CConvert2BMPView> ui_;
};
