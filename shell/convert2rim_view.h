// The "Convert to RIM" form: converts every listed image into a RIM file on
// a worker thread, with PCA or ICA bases.
#pragma once

#include <QString>
#include <atomic>
#include <memory>
#include <thread>

#include "shell/convert_form.h"

namespace Ui {
class CConvert2RIMView;
}
class CFolimDoc;
class QComboBox;
struct BatchReport;

class CConvert2RIMView : public CConvertForm {
  Q_OBJECT

 public:
  explicit CConvert2RIMView(QWidget* parent = nullptr);
  // A conversion still running is cancelled after the file in hand and
  // waited for.
  ~CConvert2RIMView() override;

  // The first update: "Bases" offers "PCA" (selected) and "ICA"; "Quality"
  // offers "config.ini" (selected: the parameters as config.ini gives them)
  // and the encoder's presets.
  void OnInitialUpdate();
  // Checks the save folder and the listing, hands the listing to the worker
  // and lists the target folder again. The worker's final message is shown
  // here, on the user-interface thread, when it ends.
  void OnConvert() override;
  bool IsConverting() const { return converting_; }

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
  QComboBox* qualityCombo() const;

  // The values of the last start.
  QString m_saveDir;  // "Save Directory", ending in "/"
  QString m_bases;    // "PCA" or "ICA"
  QString m_quality;  // a preset name, or empty for config.ini as it stands
  CFolimDoc* m_pDoc = nullptr;

 signals:
  // A worker started (true) or ended (false).
  void conversionRunning(bool running);
  // The worker's final message has been shown.
  void conversionFinished();

 private:
  void OnWorkerFinished(const BatchReport& report);
  // The controls that would change a running job.
  void setJobControlsEnabled(bool enabled);

  std::unique_ptr<Ui::CConvert2RIMView> ui_;
  std::thread worker_;
  std::atomic<bool> cancel_{false};
  bool converting_ = false;
};
