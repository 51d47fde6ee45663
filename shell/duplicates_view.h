// The Duplicates window: folders to look in (with their sub-folders or not),
// the measure (colour structure or robust, each with its own default
// threshold), the similarity threshold, and the groups found as rows of thumbnails with
// each file's score, pixel size, file size, date and folder. A ticked file
// is one to remove; Keep the Largest, Keep the Oldest and Keep the One in
// Folder tick all but one file of every group at once, and Move Marked to
// Trash sends the ticked ones to the desktop's trash.
#pragma once

#include <QDialog>

class CDuplicatesModel;
class CFileCommands;
class CFolimDoc;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QTreeWidget;
class QTreeWidgetItem;

class CDuplicatesView : public QDialog {
  Q_OBJECT

 public:
  CDuplicatesView(CFolimDoc& doc, CFileCommands& commands, QWidget* parent = nullptr);

  // Looks in the folders shown (the listed folder when none is).
  void FindDuplicates();
  // The threshold of the slider, from 0 to 1.
  double threshold() const;

  CDuplicatesModel* model() const { return model_; }
  QLineEdit* foldersEdit() const { return folders_; }
  QCheckBox* recursiveCheck() const { return recursive_; }
  QComboBox* measureCombo() const { return measure_; }
  QSlider* thresholdSlider() const { return slider_; }
  QTreeWidget* groupsTree() const { return tree_; }
  QPushButton* findButton() const { return find_; }
  QPushButton* trashButton() const { return trash_; }

 private:
  void showGroups();
  void itemChanged(QTreeWidgetItem* item, int column);

  CFolimDoc& doc_;
  CDuplicatesModel* model_;
  QLineEdit* folders_;
  QCheckBox* recursive_;
  QComboBox* measure_;
  QSlider* slider_;
  QLabel* thresholdLabel_;
  QPushButton* find_;
  QPushButton* cancel_;
  QLabel* status_;
  QComboBox* order_;
  QTreeWidget* tree_;
  QPushButton* trash_;
};
