// What the three job forms have in common: the "Target Directory" field, the
// "Include Sub Directory" box and the page controls of the thumbnail list
// (page slider, page number, page count), and how they act on the document.
#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QSlider;

class CJobForm : public QWidget {
  Q_OBJECT

 public:
  using QWidget::QWidget;

  virtual QLineEdit* targetDirEdit() const = 0;
  virtual QCheckBox* includeSubDirCheck() const = 0;
  virtual QSlider* pageSlider() const = 0;
  virtual QLineEdit* pageEdit() const = 0;
  virtual QLabel* pageCountLabel() const = 0;

  // The box changed: the folder is listed again, with or without its
  // subfolders, from the first page.
  void OnIncludeSubDirs();
  // The target field lost the focus: a different folder is listed.
  void OnTargetKillFocus();
  // The page slider was moved by a page step or its thumb was released at
  // position; line steps and dragging leave the page alone.
  void OnPageChosen(int position);

 protected:
  // Wires the shared controls; called once the form's controls exist.
  void connectSharedControls();
  bool eventFilter(QObject* watched, QEvent* event) override;
};
