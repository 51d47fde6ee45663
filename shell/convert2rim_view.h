// The "Convert to RIM" form: converts every listed image into a RIM file.
#pragma once

#include <memory>

#include "shell/job_form.h"

namespace Ui {
class CConvert2RIMView;
}

class CConvert2RIMView : public CJobForm {
  Q_OBJECT

 public:
  explicit CConvert2RIMView(QWidget* parent = nullptr);
  ~CConvert2RIMView() override;

  // The first update: "Bases" offers "PCA" (selected) and "ICA".
  void OnInitialUpdate();

  QLineEdit* targetDirEdit() const override;
  QCheckBox* includeSubDirCheck() const override;
  QSlider* pageSlider() const override;
  QLineEdit* pageEdit() const override;
  QLabel* pageCountLabel() const override;

 private:
  std::unique_ptr<Ui::CConvert2RIMView> ui_;
};
