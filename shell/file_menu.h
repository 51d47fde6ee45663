// The menu of what can be done with pictures, for the thumbnails (the
// pictures selected) and for the full-size window (the picture shown): open
// with the desktop's program, copy to, move to, rename (F2), move to the
// trash (Delete), show in the file manager, copy the path; find similar
// pictures in the listed folder or in every folder the index holds, and go
// back from such a ranking to the folder. Its keys work in the widget it
// serves.
#pragma once

#include <QMenu>
#include <QString>
#include <QStringList>
#include <functional>

class CFileCommands;
class CFolimDoc;

class CFileMenu : public QMenu {
  Q_OBJECT

 public:
  // targets: the pictures the menu acts on, when an action is chosen;
  // rename: how the owner renames one (by default a question asks the name).
  CFileMenu(CFileCommands& commands, CFolimDoc& doc, QWidget* owner,
            std::function<QStringList()> targets,
            std::function<void(const QString&)> rename = nullptr);

  // Enables what applies to the pictures targeted now (renaming takes one,
  // going back needs a ranking).
  void updateActions();

  QAction* openAction() const { return open_; }
  QAction* copyAction() const { return copy_; }
  QAction* moveAction() const { return move_; }
  QAction* renameAction() const { return rename_; }
  QAction* trashAction() const { return trash_; }
  QAction* showAction() const { return show_; }
  QAction* copyPathAction() const { return copyPath_; }
  QAction* similarHereAction() const { return similarHere_; }
  QAction* similarEverywhereAction() const { return similarEverywhere_; }
  QAction* backAction() const { return back_; }

 signals:
  // Find similar on picture: in the listed folder, or everywhere indexed.
  void findSimilar(const QString& picture, bool everyIndexedFolder);

 private:
  QAction* add(const QString& text, const std::function<void(const QStringList&)>& act);

  CFolimDoc& doc_;
  QWidget* owner_;
  std::function<QStringList()> targets_;
  QAction* open_;
  QAction* copy_;
  QAction* move_;
  QAction* rename_;
  QAction* trash_;
  QAction* show_;
  QAction* copyPath_;
  QAction* similarHere_;
  QAction* similarEverywhere_;
  QAction* back_;
};
