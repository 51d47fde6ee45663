// The "Convert to BMP" form: decodes every listed RIM file into a BMP file
// in the background, with a counter, a progress bar and Cancel in the form.
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
  explicit CConvert2BMPView(CFolimDoc& doc, QWidget* parent = nullptr);
  ~CConvert2BMPView() override;

  // Starts converting the whole listing; the final message comes when it
  // ends.
  void OnConvert() override;

  QLineEdit* targetDirEdit() const override;
  QCheckBox* includeSubDirCheck() const override;
  QSlider* pageSlider() const override;
  QLineEdit* pageEdit() const override;
  QLabel* pageCountLabel() const override;
  QLineEdit* saveDirEdit() const override;
  QPushButton* browseTargetButton() const override;
  QPushButton* browseSaveButton() const override;
  QPushButton* convertButton() const override;
  QPushButton* cancelButton() const override;
  QLabel* jobStatusLabel() const override;
  QString pickerTitle() const override { return QStringLiteral("Convert to BMP"); }
  QProgressBar* progressBar() const;
  QLabel* counterLabel() const;

 protected:
  void showStep(int index, int total, const QString& name) override;
  void showEnd(const BatchReport& report, bool cancelled, int attempted) override;

 private:
  std::unique_ptr<Ui::CConvert2BMPView> ui_;
};
