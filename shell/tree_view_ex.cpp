#include "shell/tree_view_ex.h"

#include <QDir>
#include <QFileSystemModel>

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
