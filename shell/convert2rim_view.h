// The "Convert to RIM" form: converts every listed image into a RIM file in
// the background, with PCA or ICA bases, showing its progress and able to
// stop after the file in hand.
#pragma once

#include <QString>
#include <memory>

#include "shell/convert_form.h"

namespace Ui {
class CConvert2RIMView;
}
class QComboBox;
class QProgressBar;

class CConvert2RIMView : public CConvertForm {
  Q_OBJECT

 public:
  explicit CConvert2RIMView(CFolimDoc& doc, QWidget* parent = nullptr);
  ~CConvert2RIMView() override;

  // The first update: "Bases" offers "PCA" (selected) and "ICA"; "Quality"
  // offers "config.ini" (selected: the parameters as config.ini gives them)
  // and the encoder's presets.
  void OnInitialUpdate();
  // Checks the save folder and the listing, lists the target folder again
  // and starts converting at once; the final message comes when it ends.
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
  QString pickerTitle() const override { return QStringLiteral("Convert to RIM"); }
  QComboBox* basesCombo() const;
  QPushButton* cancelButton() const override;
  QLabel* jobStatusLabel() const override;
  QComboBox* qualityCombo() const;
  QProgressBar* progressBar() const;

  // The values of the last start.
  QString m_saveDir;  // "Save Directory", ending in "/"
  QString m_bases;    // "PCA" or "ICA"
  QString m_quality;  // a preset name, or empty for config.ini as it stands

 protected:
  void setJobControlsEnabled(bool enabled) override;
  void showStep(int index, int total, const QString& name) override;
  void showEnd(const BatchReport& report, bool cancelled, int attempted) override;

 private:
  std::unique_ptr<Ui::CConvert2RIMView> ui_;
};
