#include "shell/tree_view_ex.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QMimeData>
#include <QUrl>

#include "shell/native_path.h"

CTreeViewEx::CTreeViewEx(QWidget* parent) : QTreeView(parent), model_(new QFileSystemModel(this)) {
  setObjectName(QStringLiteral("treeView"));
  // Folders only, hidden ones left out; the model reads a folder's children
  // the first time it is expanded.
  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  model_->setReadOnly(true);
  model_->setRootPath(QStringLiteral("/"));
  setModel(model_);
  for (int column = 1; column < model_->columnCount(); ++column) hideColumn(column);
  setHeaderHidden(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformRowHeights(true);
  // Drops are handled here, not by the model: the file commands keep the
  // index true and can be undone.
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DropOnly);
  // A folder held under a drag opens, so that a drop can reach any depth.
  setAutoExpandDelay(700);
  // The selection, not the current item: the view makes an item current by
  // itself when it first gets the focus, and that must not list anything.
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this](const QItemSelection& selected) {
            if (!selected.indexes().isEmpty()) {
              SelectFolder(model_->filePath(selected.indexes().first()));
            }
          });
  BuildRoot();
}

void CTreeViewEx::expandTo(const QModelIndex& index) {
  for (QModelIndex i = index; i.isValid(); i = i.parent()) expand(i);
}

void CTreeViewEx::BuildRoot() {
  collapseAll();
  selectionModel()->clear();
  expand(model_->index(QStringLiteral("/")));
  const QModelIndex home = model_->index(QDir::homePath());
  if (home.isValid()) {
    expandTo(home.parent());
    scrollTo(home);
  }
}

void CTreeViewEx::selectPath(const QString& path) {
  const QString clean = QDir::cleanPath(QDir(path).absolutePath());
  const QModelIndex index = model_->index(clean);
  if (!index.isValid()) {
    SelectFolder(clean);
    return;
  }
  expandTo(index.parent());
  scrollTo(index);
  if (selectionModel()->isSelected(index)) {
    SelectFolder(clean);
  } else {
    setCurrentIndex(index);
  }
}

void CTreeViewEx::SelectFolder(const QString& path) {
  selectedPath = path;
  emit folderSelected(path);
}

QString CTreeViewEx::dropFolder(const QDropEvent* event) const {
  if (!event->mimeData()->hasUrls()) return QString();
  const QModelIndex index = indexAt(event->position().toPoint());
  return index.isValid() ? model_->filePath(index) : QString();
}

namespace {

// Move, unless Ctrl asks for a copy.
void proposeAction(QDropEvent* event) {
  event->setDropAction(event->modifiers().testFlag(Qt::ControlModifier) ? Qt::CopyAction
                                                                        : Qt::MoveAction);
  event->accept();
}

}  // namespace

// The view's own handling scrolls and opens folders under the drag; whether
// the drop is taken is decided here.
void CTreeViewEx::dragEnterEvent(QDragEnterEvent* event) {
  QTreeView::dragEnterEvent(event);
  if (event->mimeData()->hasUrls()) {
    proposeAction(event);
  } else {
    event->ignore();
  }
}

void CTreeViewEx::dragMoveEvent(QDragMoveEvent* event) {
  QTreeView::dragMoveEvent(event);
  if (dropFolder(event).isEmpty()) {
    event->ignore();
  } else {
    proposeAction(event);
  }
}

void CTreeViewEx::dropEvent(QDropEvent* event) {
  stopAutoScroll();
  setState(NoState);
  const QString folder = dropFolder(event);
  if (folder.isEmpty()) {
    event->ignore();
    return;
  }
  // Files already in the folder stay where they are.
  QStringList files;
  for (const QUrl& url : event->mimeData()->urls()) {
    const QString file = fromLocalFileUrl(url);
    if (!file.isEmpty() && QFileInfo(file).absolutePath() != folder) files << file;
  }
  proposeAction(event);
  if (!files.isEmpty()) emit filesDropped(files, folder, event->dropAction() == Qt::CopyAction);
}
