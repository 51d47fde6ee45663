#include "shell/folim_doc.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <algorithm>

#include "imageio/export.h"
#include "imageio/library_io.h"
#include "imageio/listing.h"
#include "shell/file_dialogs.h"
#include "shell/job_form.h"
#include "shell/list_view_ex.h"
#include "shell/messages.h"
#include "shell/native_path.h"
#include "shell/progress_dialog.h"
#include "shell/tab_view.h"

namespace {

CFolimDoc* theDocument = nullptr;

// Longest name or extension kept, and longest name plus extension accepted.
constexpr int kMaxNamePart = 256;
constexpr int kMaxDisplayName = 260;

class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

CFolimDoc* GetFolimDoc() { return theDocument; }

CFolimDoc::CFolimDoc() {
  theDocument = this;
  connect(&loader_, &CThumbnailLoader::thumbnailReady, this, &CFolimDoc::onThumbnailReady,
          Qt::QueuedConnection);
}

CFolimDoc::~CFolimDoc() {
  if (theDocument == this) theDocument = nullptr;
}

void CFolimDoc::StopLoadingThumbnails() {
  ++batch_;
  loader_.cancel();
  loadTotal_ = loadDone_ = 0;
  if (m_pProgressDialog != nullptr) m_pProgressDialog->hide();
}

void CFolimDoc::SetDirectory(const QString& dir) {
  // Results of a page still loading refer to the old list: drop them.
  StopLoadingThumbnails();
  m_currentDir = dir;
  m_entries.clear();
  ListDirectory(dir);
}

void CFolimDoc::ListDirectory(const QString& dir) {
  for (const ListedImage& file : listImageFiles(toNativePath(dir), m_includeSubDirs != 0)) {
    ImageEntry entry;
    entry.name = file.name;
    entry.path = file.path;
    entry.baseType = kBaseTypeUninspected;
    m_entries.push_back(std::move(entry));
  }
}

void CFolimDoc::ResetPaging() {
  m_page = 0;
  if (m_entries.empty()) {
    m_pageCount = 1;
    m_entryCount = 0;
  } else {
    m_entryCount = static_cast<std::uint32_t>(m_entries.size());
    m_pageCount = static_cast<std::int32_t>((m_entryCount - 1) / ITEMS_PER_PAGE + 1);
  }
  UpdatePageControls();
  LoadThumbnails();
}

int CFolimDoc::GetPageItemCount() const {
  if (m_pageCount == 1) return static_cast<int>(m_entryCount);
  if (m_page == m_pageCount - 1) return static_cast<int>(m_entryCount) - ITEMS_PER_PAGE * m_page;
  return ITEMS_PER_PAGE;
}

void CFolimDoc::UpdatePageControls() {
  if (m_pTabView == nullptr) return;
  CJobForm* form = m_pTabView->currentForm();
  if (form == nullptr) return;
  QSlider* slider = form->pageSlider();
  slider->setRange(0, m_pageCount - 1);
  slider->setPageStep(1);
  slider->setTickInterval(1);
  slider->setValue(m_page);
  form->pageCountLabel()->setText(QStringLiteral("/ %1 pages").arg(m_pageCount));
  form->pageEdit()->setText(QString::number(m_page + 1));
}

void CFolimDoc::LoadThumbnails() {
  StopLoadingThumbnails();
  if (m_pListView != nullptr) m_pListView->clearThumbnails();
  if (m_entries.empty()) return;

  // The entry count of the last reset may be stale when the list changed
  // since (a conversion re-lists the folder): never run past the list.
  const int first = ITEMS_PER_PAGE * m_page;
  const int last = std::min(first + GetPageItemCount(), static_cast<int>(m_entries.size()));
  std::vector<CThumbnailLoader::Job> jobs;
  for (int i = std::max(first, 0); i < last; ++i) {
    jobs.push_back({i, fromNativePath(m_entries[static_cast<std::size_t>(i)].path)});
  }
  if (jobs.empty()) return;

  loadTotal_ = static_cast<int>(jobs.size());
  if (m_pProgressDialog != nullptr) {
    m_pProgressDialog->SetLoadingProgress(1, loadTotal_);
    m_pProgressDialog->show();
  }
  loader_.start(batch_, std::move(jobs));
}

void CFolimDoc::onThumbnailReady(quint64 batch, int index, int baseType, const QImage& thumbnail) {
  if (batch != batch_ || loadDone_ >= loadTotal_) return;
  ++loadDone_;
  if (index >= 0 && static_cast<std::size_t>(index) < m_entries.size()) {
    ImageEntry& entry = m_entries[static_cast<std::size_t>(index)];
    entry.baseType = static_cast<std::int16_t>(baseType);
    QString text;
    GetDisplayName(fromNativePath(entry.path), text);
    if (m_pListView != nullptr) m_pListView->appendThumbnail(text, thumbnail);
  }
  if (loadDone_ < loadTotal_) {
    if (m_pProgressDialog != nullptr)
      m_pProgressDialog->SetLoadingProgress(loadDone_ + 1, loadTotal_);
  } else {
    finishLoading();
  }
}

void CFolimDoc::finishLoading() {
  if (m_pProgressDialog != nullptr) m_pProgressDialog->hide();
  emit thumbnailsLoaded();
}

Status CFolimDoc::GetDisplayName(const QString& path, QString& name) {
  const QString fileName = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
  const int dot = fileName.lastIndexOf(QLatin1Char('.'));
  QString base = dot < 0 ? fileName : fileName.left(dot);
  QString extension = dot < 0 ? QString() : fileName.mid(dot);
  base.truncate(kMaxNamePart);
  extension.truncate(kMaxNamePart);
  if (base.size() + extension.size() > kMaxDisplayName) {
    name.clear();
    return 3;
  }
  name = base + extension;
  return 0;
}

QWidget* CFolimDoc::dialogParent() const {
  return m_pListView != nullptr ? m_pListView->window() : nullptr;
}

void CFolimDoc::OnFileOpen() {
  const QString path = askOpenImagePath(dialogParent());
  if (path.isEmpty()) return;
  OpenImage(path);
}

void CFolimDoc::OpenImage(const QString& path) {
  m_currentPath = path;
  if (m_pListView != nullptr) {
    m_pListView->SelectCurrentImage();
    m_pListView->ShowFullSizeImage();
  }
  emit fileUsed(path);
}

void CFolimDoc::OnFileSave() {
  if (m_currentPath.isEmpty()) {
    showMessage(QStringLiteral("please select item"));
    return;
  }
  const QString chosen = askSaveImagePath(dialogParent());
  if (chosen.isEmpty()) return;

  WaitCursor wait;
  // Every failure names the file and its cause; nothing is written then.
  const std::string target = toNativePath(chosen);
  const auto fail = [&chosen](const std::string& cause) {
    showMessage(QStringLiteral("Cannot save %1: %2").arg(chosen, fromNativePath(cause)));
  };
  const bool toRim =
      QFileInfo(chosen).suffix().compare(QLatin1String("rim"), Qt::CaseInsensitive) == 0;
  if (!toRim && writerFormatFor(target).empty()) {
    fail("no image format for the extension '" + targetExtension(target) + "'");
    return;
  }
  CImageEx image;
  std::string why;
  if (!LoadForSaving(toNativePath(m_currentPath), m_currentImage.m_nBaseType, image, why)) {
    fail(toNativePath(m_currentPath) + ": " + why);
    return;
  }
  const bool saved = toRim ? SaveAsRim(image, target, why) : SaveByExtension(image, target, &why);
  if (!saved) {
    fail(why);
    return;
  }
  emit fileUsed(chosen);
}
