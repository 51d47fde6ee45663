#include "shell/list_view_ex.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QLabel>
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
class CaptionDelegate : public QStyledItemDelegate {
 public:
  CaptionDelegate(int width, QObject* parent) : QStyledItemDelegate(parent), width_(width) {}

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->features &= ~QStyleOptionViewItem::WrapText;
    option->text = ElideCaption(option->text, option->fontMetrics, width_);
  }

 private:
  int width_;
};

}  // namespace

CListViewEx::CListViewEx(CFolimDoc& doc, QWidget* parent)
    : QListWidget(parent),
      doc_(doc),
      fullSizeWindow_(std::make_unique<COriginalImage>(doc)),
      progressDialog_(std::make_unique<CProgressDialog>()),
      hint_(new QLabel(viewport())),
      commands_(new CFileCommands(doc, this)),
      fileMenu_(new CFileMenu(*commands_, doc, this, [this] { return selectedPaths(); })),
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
  setDragEnabled(false);
  // Drops arrive at the viewport, which must take them itself.
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DropOnly);
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

QStringList CListViewEx::selectedPaths() const {
  QList<int> rows;
  for (QListWidgetItem* item : selectedItems()) rows << row(item);
  std::sort(rows.begin(), rows.end());
  QStringList paths;
  const std::vector<ImageEntry>& entries = doc_.entries();
  for (int r : rows) {
    const std::int64_t entry = doc_.paging().EntryOfRow(r, entries.size());
    if (entry >= 0) paths << fromNativePath(entries[static_cast<std::size_t>(entry)].path);
  }
  return paths;
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

void CListViewEx::DropFiles(const QStringList& paths) {
  if (paths.isEmpty()) return;
  if (paths.size() >= 2) {
    showMessage(tr("You can drop one image file only."));
    return;
  }
  const QString& path = paths.first();
  if (!IsImageFileName(toNativePath(path))) {
    showMessage(tr("This is not a image file!"));
    return;
  }
  if (doc_.SelectImage(path)) doc_.ShowFullSize();
}

void CListViewEx::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void CListViewEx::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasUrls()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void CListViewEx::dropEvent(QDropEvent* event) {
  if (!event->mimeData()->hasUrls()) {
    event->ignore();
    return;
  }
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    // Something that is not a local file counts, but is no image file here.
    paths << fromLocalFileUrl(url);
  }
  event->acceptProposedAction();
  DropFiles(paths);
}
