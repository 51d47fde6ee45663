// The "Convert to BMP" form: decodes every listed RIM file into a BMP file,
// with a counter and a progress bar in the form.
#pragma once

#include <memory>

#include "shell/convert_form.h"

namespace Ui {
class CConvert2BMPView;
}
class QProgressBar;

class CConvert2BMPView : public CConvertForm {
  Q_OBJECT

 public:
  explicit CConvert2BMPView(QWidget* parent = nullptr);
  ~CConvert2BMPView() override;

  // Converts the whole listing; returns with the final message shown. The
  // window keeps painting the counter and the bar meanwhile.
  void OnConvert() override;
  // While a conversion to RIM runs, "Convert" waits for it.
  void setRimConversionRunning(bool running);

  QLineEdit* targetDirEdit() const override;
  QCheckBox* includeSubDirCheck() const override;
  QSlider* pageSlider() const override;
  QLineEdit* pageEdit() const override;
  QLabel* pageCountLabel() const override;
  QLineEdit* saveDirEdit() const override;
  QPushButton* browseTargetButton() const override;
  QPushButton* browseSaveButton() const override;
  QPushButton* convertButton() const override;
  QString pickerTitle() const override { return QStringLiteral("Convert to BMP"); }
  QProgressBar* progressBar() const;
  QLabel* counterLabel() const;

 private:
  std::unique_ptr<Ui::CConvert2BMPView> ui_;
  bool converting_ = false;
  bool rimRunning_ = false;
};
