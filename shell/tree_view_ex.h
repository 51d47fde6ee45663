// The left pane: the folders of the file system as a tree rooted at "/",
// filled lazily as folders are expanded. Selecting a folder lists its images.
// Files dragged onto a folder (thumbnails, or files from a file manager) are
// moved there, or copied with Ctrl held; the file commands do it.
#pragma once

#include <QString>
#include <QStringList>
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
  // Files dropped on folder, to be copied there (copy) or moved.
  void filesDropped(const QStringList& files, const QString& folder, bool copy);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // The folder under the drop, or "" where it is no folder or the files
  // come as no URLs.
  QString dropFolder(const QDropEvent* event) const;
  void expandTo(const QModelIndex& index);

  QFileSystemModel* model_;
};
