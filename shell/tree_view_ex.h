// The left pane: the folders of the file system as a tree rooted at "/",
// filled lazily as folders are expanded. Selecting a folder lists its images.
#pragma once

#include <QString>
#include <QTreeView>

class QFileSystemModel;

class CTreeViewEx : public QTreeView {
  Q_OBJECT

 public:
  explicit CTreeViewEx(QWidget* parent = nullptr);

  // The first update (again after File New): the tree collapsed to its root,
  // with the way down to the home folder opened.
  void BuildRoot();
  // A folder was chosen: folderSelected tells it (the document lists it, the
  // form on the selected tab shows it, the first page of thumbnails loads).
  void SelectFolder(const QString& path);
  // Opens the tree down to path and selects it (the folder named on the
  // command line). A folder the tree does not show is listed all the same.
  void selectPath(const QString& path);

  QFileSystemModel* fileSystemModel() const { return model_; }

  QString selectedPath;

 signals:
  void folderSelected(const QString& path);

 private:
  void expandTo(const QModelIndex& index);

  QFileSystemModel* model_;
};
