// The "Retrieval" form: the query image, the weight of colour against edge
// similarity, the colour measure, the folder searched and the result pages.
#pragma once

#include <memory>

#include "shell/job_form.h"

namespace Ui {
class CRetrievalView;
}
class CQueryBox;

class CRetrievalView : public CJobForm {
  Q_OBJECT

 public:
  explicit CRetrievalView(QWidget* parent = nullptr);
  ~CRetrievalView() override;

  // Presets of the controls (70 % colour, "MPEG-7 CSD").
  void InitControls();

  QLineEdit* targetDirEdit() const override;
  QCheckBox* includeSubDirCheck() const override;
  QSlider* pageSlider() const override;
  QLineEdit* pageEdit() const override;
  QLabel* pageCountLabel() const override;
  CQueryBox* queryBox() const;

  int colorMode = 2;
  int colorWeight = 70;

 private:
  std::unique_ptr<Ui::CRetrievalView> ui_;
};
