// The sort bar: the order of the list of pictures (key and direction), the
// name filter box and how many pictures pass it. The same choices as a menu
// for the View menu. It only shows the document's order and hands the
// user's choice to it.
#pragma once

#include <QList>
#include <QToolBar>

class CFolimDoc;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QTimer;

class CSortBar : public QToolBar {
  Q_OBJECT

 public:
  // Takes the order of the last session (a score only sorts a ranking).
  explicit CSortBar(CFolimDoc& doc, QWidget* parent = nullptr);

  // Sort By (one item per key, then Descending) for the View menu.
  QMenu* sortMenu() const { return sortMenu_; }
  // Moves the keyboard focus to the filter box (the bar shows first).
  QAction* filterAction() const { return filter_; }
  QComboBox* sortCombo() const { return sortCombo_; }
  // One per key, in the order of the combo box.
  const QList<QAction*>& sortActions() const { return sortActions_; }
  QAction* descendingAction() const { return descending_; }
  QLineEdit* filterEdit() const { return filterEdit_; }
  QLabel* countLabel() const { return count_; }

 private:
  // The order the controls ask for, handed to the document.
  void applyOrder(int key);
  // The controls show the document's order.
  void showOrder();

  CFolimDoc& doc_;
  QMenu* sortMenu_ = nullptr;
  QComboBox* sortCombo_ = nullptr;
  QList<QAction*> sortActions_;
  QAction* descending_ = nullptr;
  QLineEdit* filterEdit_ = nullptr;
  QAction* filter_ = nullptr;
  QTimer* filterDelay_ = nullptr;
  QLabel* count_ = nullptr;
};
