#include "shell/list_view_ex.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QUrl>
#include <algorithm>

#include "imageio/file_kind.h"
#include "shell/file_commands.h"
#include "shell/file_menu.h"
#include "shell/folim_doc.h"
#include "shell/messages.h"
#include "shell/native_path.h"
#include "shell/original_image.h"
#include "shell/progress_dialog.h"

QString ElideCaption(const QString& caption, const QFontMetrics& metrics, int width) {
  QStringList lines = caption.split(QLatin1Char('\n'));
  for (QString& line : lines) line = metrics.elidedText(line, Qt::ElideMiddle, width);
  return lines.join(QLatin1Char('\n'));
}

namespace {

// Draws each line of a caption on one line of the grid cell, cut in the
// middle when it is too long, instead of wrapping it into the next line.
// Editing a caption renames the file: the editor shows the file's name alone
// (not the rank or sub-folder under it), and what the user enters goes to
// the file commands, not into the item; the listing follows the file.
class CaptionDelegate : public QStyledItemDelegate {
 public:
  CaptionDelegate(int width, CListViewEx* list)
      : QStyledItemDelegate(list), width_(width), list_(list) {}

  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (line == nullptr) return;
    const QString name = QFileInfo(list_->pathOfRow(index.row())).fileName();
    line->setText(name);
    // The name without its extension, which is seldom what changes; once
    // the view has selected all of it on opening the editor.
    const int dot = static_cast<int>(name.lastIndexOf(QLatin1Char('.')));
    const int length = dot > 0 ? dot : static_cast<int>(name.size());
    QMetaObject::invokeMethod(
        line, [line, length] { line->setSelection(0, length); }, Qt::QueuedConnection);
  }

  void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
    auto* line = qobject_cast<QLineEdit*>(editor);
    const QString path = list_->pathOfRow(index.row());
    if (line == nullptr || path.isEmpty()) return;
    const QString name = line->text().trimmed();
    if (name.isEmpty() || name == QFileInfo(path).fileName()) return;
    // After the editor has closed: the rename lists the folder anew.
    CListViewEx* list = list_;
    QMetaObject::invokeMethod(
        list, [list, path, name] { list->fileCommands()->RenameTo(path, name); },
        Qt::QueuedConnection);
  }

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->features &= ~QStyleOptionViewItem::WrapText;
    option->text = ElideCaption(option->text, option->fontMetrics, width_);
  }

 private:
  int width_;
  CListViewEx* list_;
};

}  // namespace

CListViewEx::CListViewEx(CFolimDoc& doc, QWidget* parent)
    : QListWidget(parent),
      doc_(doc),
      fullSizeWindow_(std::make_unique<COriginalImage>(doc)),
      progressDialog_(std::make_unique<CProgressDialog>()),
      hint_(new QLabel(viewport())),
      commands_(new CFileCommands(doc, this)),
      fileMenu_(new CFileMenu(
          *commands_, doc, this, [this] { return selectedPaths(); },
          [this](const QString&) { RenameInPlace(); })),
      fullSizeFileMenu_(new CFileMenu(*commands_, doc, fullSizeWindow_.get(), [&doc] {
        return doc.currentPath().isEmpty() ? QStringList() : QStringList{doc.currentPath()};
      })) {
  setObjectName(QStringLiteral("listView"));
  setViewMode(QListView::IconMode);
  setIconSize(QSize(THUMBNAIL_SIZE, THUMBNAIL_SIZE));
  // Room for the name and one more line (rank and score, or sub-folder).
  setGridSize(QSize(THUMBNAIL_SIZE + 20, THUMBNAIL_SIZE + 4 + 2 * fontMetrics().height()));
  setMovement(QListView::Static);
  setFlow(QListView::LeftToRight);
  setWrapping(true);
  // Re-arranged to the top whenever the pane changes size; rows wrap, so
  // nothing ever needs a horizontal scroll bar.
  setResizeMode(QListView::Adjust);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setUniformItemSizes(true);
  setWordWrap(true);
  setTextElideMode(Qt::ElideMiddle);
  // The cell's width less the margins the style leaves around the text.
  setItemDelegate(new CaptionDelegate(gridSize().width() - 8, this));
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  // A double click opens the picture; the caption is edited by Rename (F2).
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setDragEnabled(true);
  // Drops arrive at the viewport, which must take them itself.
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DragDrop);
  setDropIndicatorShown(false);

  hint_->setObjectName(QStringLiteral("emptyListHint"));
  hint_->setAlignment(Qt::AlignCenter);
  hint_->setWordWrap(true);
  hint_->setEnabled(false);
  connect(&doc_, &CFolimDoc::folderChanged, this, &CListViewEx::updateHint);
  connect(&doc_, &CFolimDoc::thumbnailsCleared, this, &CListViewEx::updateHint);
  connect(&doc_, &CFolimDoc::pagingChanged, this, &CListViewEx::updateHint);
  connect(this, &QListWidget::itemSelectionChanged, this, &CListViewEx::SelectThumbnail);
  connect(this, &QListWidget::itemActivated, this, [this] {
    if (!selectedItems().isEmpty()) ShowFullSizeImage();
  });
  setContextMenuPolicy(Qt::CustomContextMenu);
  connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    // A click on a thumbnail outside the selection acts on that one alone.
    QListWidgetItem* item = itemAt(at);
    if (item != nullptr && !item->isSelected()) setCurrentItem(item);
    fileMenu_->popup(viewport()->mapToGlobal(at));
  });
  // The full-size window lists the menu's actions in its own context menu.
  QAction* separator = new QAction(fullSizeWindow_.get());
  separator->setSeparator(true);
  fullSizeWindow_->addAction(separator);
  fullSizeWindow_->addActions(fullSizeFileMenu_->actions());
  // The main window's Undo does not reach this window of its own.
  auto* undo = new QAction(tr("&Undo\tCtrl+Z"), fullSizeWindow_.get());
  undo->setShortcut(QKeySequence::Undo);
  connect(undo, &QAction::triggered, commands_, &CFileCommands::Undo);
  fullSizeWindow_->addAction(undo);
  OnInitialUpdate();
}

QString CListViewEx::pathOfRow(int row) const {
  const std::vector<ImageEntry>& entries = doc_.entries();
  const std::int64_t entry = doc_.paging().EntryOfRow(row, entries.size());
  return entry >= 0 ? fromNativePath(entries[static_cast<std::size_t>(entry)].path) : QString();
}

QStringList CListViewEx::selectedPaths() const {
  QList<int> rows;
  for (QListWidgetItem* item : selectedItems()) rows << row(item);
  std::sort(rows.begin(), rows.end());
  QStringList paths;
  for (int r : rows) {
    const QString path = pathOfRow(r);
    if (!path.isEmpty()) paths << path;
  }
  return paths;
}

void CListViewEx::RenameInPlace() {
  const QList<QListWidgetItem*> selected = selectedItems();
  if (selected.size() != 1) return;
  scrollToItem(selected.first());
  editItem(selected.first());
}

CListViewEx::~CListViewEx() = default;

void CListViewEx::OnInitialUpdate() {
  doc_.StopLoadingThumbnails();
  clearThumbnails();
}

void CListViewEx::clearThumbnails() {
  clear();
  updateHint();
}

void CListViewEx::updateHint() {
  const QString hint = count() == 0 ? doc_.EmptyListHint() : QString();
  hint_->setText(hint);
  hint_->setGeometry(viewport()->rect().adjusted(12, 12, -12, -12));
  hint_->setVisible(!hint.isEmpty());
}

void CListViewEx::resizeEvent(QResizeEvent* event) {
  QListWidget::resizeEvent(event);
  hint_->setGeometry(viewport()->rect().adjusted(12, 12, -12, -12));
}

void CListViewEx::addThumbnail(int row, const QString& caption, const QImage& thumbnail,
                               const QString& toolTip) {
  auto* item = new QListWidgetItem(QIcon(QPixmap::fromImage(thumbnail)), caption);
  item->setFlags(item->flags() | Qt::ItemIsEditable);
  item->setToolTip(toolTip);
  insertItem(std::min(row, count()), item);
  hint_->hide();
  const int current = doc_.CurrentEntry();
  if (current >= 0 && doc_.paging().EntryOfRow(row, doc_.entries().size()) == current) {
    const QSignalBlocker blocker(this);
    setCurrentItem(item);
  }
}

void CListViewEx::showCurrentImage() {
  const int current = doc_.CurrentEntry();
  if (current < 0) return;
  for (int r = 0; r < count(); ++r) {
    if (doc_.paging().EntryOfRow(r, doc_.entries().size()) != current) continue;
    const QSignalBlocker blocker(this);
    // A selection of several that holds it stays as it is.
    setCurrentRow(r, item(r)->isSelected() ? QItemSelectionModel::NoUpdate
                                           : QItemSelectionModel::ClearAndSelect);
    scrollToItem(item(r));
    return;
  }
}

void CListViewEx::SelectThumbnail() {
  const QList<QListWidgetItem*> selected = selectedItems();
  if (selected.isEmpty()) return;
  if (doc_.IsQueryLocked()) {
    // The search ranks the image selected before: the selection shows it.
    const QSignalBlocker blocker(this);
    clearSelection();
    showCurrentImage();
    return;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  // Of several selected, the one clicked last.
  QListWidgetItem* chosen = currentItem();
  doc_.SelectRow(row(chosen != nullptr && chosen->isSelected() ? chosen : selected.first()));
  QApplication::restoreOverrideCursor();
}

void CListViewEx::ShowFullSizeImage() { doc_.ShowFullSize(); }

QStringList CListViewEx::DroppedPaths(const QMimeData& data) {
  QStringList paths;
  for (const QUrl& url : data.urls()) paths << fromLocalFileUrl(url);
  return paths;
}

QString CListViewEx::DroppedImage(const QStringList& paths) {
  if (paths.isEmpty()) return QString();
  if (paths.size() >= 2) {
    showMessage(tr("You can drop one image file only."));
    return QString();
  }
  if (!IsImageFileName(toNativePath(paths.first()))) {
    showMessage(tr("This is not a image file!"));
    return QString();
  }
  return paths.first();
}

void CListViewEx::DropFiles(const QStringList& paths) {
  const QString path = DroppedImage(paths);
  if (!path.isEmpty() && doc_.SelectImage(path)) doc_.ShowFullSize();
}

void CListViewEx::startDrag(Qt::DropActions) {
  const QStringList paths = selectedPaths();
  if (paths.isEmpty()) return;
  QList<QUrl> urls;
  for (const QString& path : paths) urls << toLocalFileUrl(path);
  auto* files = new QMimeData;
  files->setUrls(urls);
  auto* drag = new QDrag(this);
  drag->setMimeData(files);
  if (QListWidgetItem* item = currentItem()) drag->setPixmap(item->icon().pixmap(48, 48));
  drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
}

void CListViewEx::dragEnterEvent(QDragEnterEvent* event) {
  // Thumbnails dropped back on their own list stay where they are.
  if (event->mimeData()->hasUrls() && event->source() != this) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void CListViewEx::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasUrls() && event->source() != this) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void CListViewEx::dropEvent(QDropEvent* event) {
  if (!event->mimeData()->hasUrls() || event->source() == this) {
    event->ignore();
    return;
  }
  const QStringList paths = DroppedPaths(*event->mimeData());
  event->acceptProposedAction();
  DropFiles(paths);
}
