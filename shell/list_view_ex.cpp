#include "shell/list_view_ex.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "imageio/file_kind.h"
#include "shell/folim_doc.h"
#include "shell/messages.h"
#include "shell/native_path.h"
#include "shell/original_image.h"
#include "shell/progress_dialog.h"
#include "shell/query_box.h"
#include "shell/retrieval_view.h"
#include "shell/tab_view.h"

CListViewEx::CListViewEx(QWidget* parent)
    : QListWidget(parent),
      fullSizeWindow_(std::make_unique<COriginalImage>()),
      progressDialog_(std::make_unique<CProgressDialog>()) {
  setObjectName(QStringLiteral("listView"));
  setViewMode(QListView::IconMode);
  setIconSize(QSize(THUMBNAIL_SIZE, THUMBNAIL_SIZE));
  setGridSize(QSize(THUMBNAIL_SIZE + 20, THUMBNAIL_SIZE + 26));
  setMovement(QListView::Static);
  setFlow(QListView::LeftToRight);
  setWrapping(true);
  // Re-arranged to the top whenever the pane changes size; rows wrap, so
  // nothing ever needs a horizontal scroll bar.
  setResizeMode(QListView::Adjust);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setUniformItemSizes(true);
  setWordWrap(false);
  setTextElideMode(Qt::ElideMiddle);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setDragEnabled(false);
  // Drops arrive at the viewport, which must take them itself.
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DropOnly);
  setDropIndicatorShown(false);

  connect(this, &QListWidget::itemSelectionChanged, this, &CListViewEx::SelectThumbnail);
  connect(this, &QListWidget::itemActivated, this, [this] {
    if (!selectedItems().isEmpty()) ShowFullSizeImage();
  });
  OnInitialUpdate();
}

CListViewEx::~CListViewEx() {
  CFolimDoc* doc = GetFolimDoc();
  if (doc != nullptr && doc->m_pListView == this) doc->m_pListView = nullptr;
}

void CListViewEx::OnInitialUpdate() {
  CFolimDoc* doc = GetFolimDoc();
  if (doc != nullptr) {
    doc->StopLoadingThumbnails();
    doc->m_pListView = this;
  }
  clearThumbnails();
}

void CListViewEx::clearThumbnails() { clear(); }

void CListViewEx::appendThumbnail(const QString& text, const QImage& thumbnail) {
  auto* item = new QListWidgetItem(QIcon(QPixmap::fromImage(thumbnail)), text);
  item->setToolTip(text);
  addItem(item);
}

void CListViewEx::SelectThumbnail() {
  const QList<QListWidgetItem*> selected = selectedItems();
  CFolimDoc* doc = GetFolimDoc();
  if (selected.isEmpty() || doc == nullptr) return;
  const long long index =
      static_cast<long long>(doc->m_page) * CFolimDoc::ITEMS_PER_PAGE + row(selected.first());
  // The list may show a page of an older listing: never read past the end.
  if (index < 0 || index >= static_cast<long long>(doc->m_entries.size())) return;
  doc->m_currentPath = fromNativePath(doc->m_entries[static_cast<std::size_t>(index)].path);
  SelectCurrentImage();
}

void CListViewEx::SelectCurrentImage() {
  CFolimDoc* doc = GetFolimDoc();
  if (doc == nullptr) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  doc->m_currentImage.LoadImageFile(toNativePath(doc->m_currentPath), false);
  QApplication::restoreOverrideCursor();
  if (doc->m_pTabView != nullptr) doc->m_pTabView->retrievalView()->queryBox()->update();
  window()->setWindowTitle(QStringLiteral("Folim - ") + doc->m_currentPath);
}

void CListViewEx::ShowFullSizeImage() {
  CFolimDoc* doc = GetFolimDoc();
  if (doc == nullptr) return;
  fullSizeWindow_->ShowFullSizeImage(*doc, screen());
}

void CListViewEx::DropFiles(const QStringList& paths) {
  if (paths.isEmpty()) return;
  if (paths.size() >= 2) {
    showMessage(QStringLiteral("You can drop one image file only."));
    return;
  }
  const QString& path = paths.first();
  if (GetFileKind(toNativePath(path)) == kFileKindNone) {
    showMessage(QStringLiteral("This is not a image file!"));
    return;
  }
  CFolimDoc* doc = GetFolimDoc();
  if (doc == nullptr) return;
  doc->m_currentPath = path;
  SelectCurrentImage();
  ShowFullSizeImage();
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
    paths << (url.isLocalFile() ? url.toLocalFile() : QString());
  }
  event->acceptProposedAction();
  DropFiles(paths);
}
