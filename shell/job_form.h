// What the three job forms have in common: the "Target Directory" field, the
// "Include Sub Directory" box and the page controls of the thumbnail list
// (page slider, page number, page count), and how they act on the document.
#pragma once

#include <QWidget>

class CFolimDoc;
class QCheckBox;
class QLabel;
class QLineEdit;
class QSlider;

class CJobForm : public QWidget {
  Q_OBJECT

 public:
  explicit CJobForm(CFolimDoc& doc, QWidget* parent = nullptr) : QWidget(parent), doc_(doc) {}

  virtual QLineEdit* targetDirEdit() const = 0;
  virtual QCheckBox* includeSubDirCheck() const = 0;
  virtual QSlider* pageSlider() const = 0;
  virtual QLineEdit* pageEdit() const = 0;
  virtual QLabel* pageCountLabel() const = 0;
  // True while a job this form started runs: its fields then keep showing
  // what the job works on.
  virtual bool IsRunningJob() const { return false; }

  // The box changed: the folder is listed again, with or without its
  // subfolders, from the first page.
  void OnIncludeSubDirs();
  // The target field lost the focus: a different folder is listed.
  void OnTargetKillFocus();
  // A page was chosen on the slider (a click beside the thumb, a key, the
  // wheel, or the thumb released after dragging).
  void OnPageChosen(int position);

  // Slider range and position, "/ %d pages" and the page number.
  void showPaging(int page, int pageCount);
  // The listed folder, in the target field (left alone while a job runs).
  void showFolder(const QString& dir);
  // The document's folder, sub-folder flag and paging (the tab is shown).
  void showDocumentState();

 protected:
  // Wires the shared controls; called once the form's controls exist.
  void connectSharedControls();
  bool eventFilter(QObject* watched, QEvent* event) override;

  CFolimDoc& doc_;
};
