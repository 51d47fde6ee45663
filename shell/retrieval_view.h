// The "Retrieval" form: the query image, the weight of colour against edge
// similarity, the colour measure, the folder searched and the result pages.
#pragma once

#include <memory>

#include "shell/job_form.h"
#include "shell/search_model.h"

namespace Ui {
class CRetrievalView;
}
class CProgressDialog;
class CQueryBox;
class CUpDown;
class QComboBox;
class QPushButton;

class CRetrievalView : public CJobForm {
  Q_OBJECT

 public:
  explicit CRetrievalView(CFolimDoc& doc, QWidget* parent = nullptr);
  ~CRetrievalView() override;

  // Presets of the controls: 70 % colour against 30 % edge, "MPEG-7 CSD".
  void InitControls();

  // The weight slider moved: both percentages and the spin follow it.
  void WeightSliderMoved();
  // The spin moved to position: both percentages and the slider follow it.
  void WeightSpinMoved(int position);
  // Another colour measure: its preset weight replaces the one shown.
  void ColorModeChanged();
  // A page chosen on the result-page slider (page steps and thumb release).
  void ResultPageMoved(int position) { OnPageChosen(position); }
  void IncludeSubDirChanged() { OnIncludeSubDirs(); }
  // Ranks the pictures of the listed folder by their similarity to the
  // current image with the measure and weight shown (see CSearchModel) and
  // shows them, best first, from the first page. The search runs in the
  // background with its progress in the progress window, which can cancel
  // it; the call returns at once.
  void Search();
  // The same over every picture the index holds (not brought up to date).
  void SearchEveryIndexedFolder();
  bool IsSearching() const { return search_->IsSearching(); }
  bool IsRunningJob() const override { return IsSearching(); }
  // "Default": the weights of the chosen colour measure's preset.
  void RestoreDefaultWeights();
  // The window that shows the search's progress (may stay unset).
  void setProgressWindow(CProgressDialog* progress);

  // The colour measure chosen: the combo's index while its text is that
  // entry's, -1 once the user has typed something else into it.
  int selectedColorMode() const;

  QLineEdit* targetDirEdit() const override;
  QCheckBox* includeSubDirCheck() const override;
  QSlider* pageSlider() const override;
  QLineEdit* pageEdit() const override;
  QLabel* pageCountLabel() const override;
  CQueryBox* queryBox() const;
  QSlider* weightSlider() const;
  CUpDown* weightSpin() const;
  QLineEdit* colorPercentEdit() const;
  QLineEdit* edgePercentEdit() const;
  QComboBox* colorModeCombo() const;
  QPushButton* searchButton() const;
  QPushButton* defaultButton() const;

  int colorMode = 2;
  int colorWeight = 70;
  // Threads that score the candidates (all cores by default). With one, the
  // progress window counts every candidate; with more, the ones it reaches.
  unsigned searchThreads;

 private:
  void startSearch(bool everyIndexedFolder);
  void showWeight(int colorPercent);
  // The progress window counts through the candidates that replace the list.
  void showRankingArriving(int count);

  std::unique_ptr<Ui::CRetrievalView> ui_;
  CSearchModel* search_;
  CProgressDialog* progress_ = nullptr;

 signals:
  // A search starts (the full-size window makes way for the results).
  void searchStarted();
  // The search has ended (ranked, refused or cancelled).
  void searchFinished();
};
