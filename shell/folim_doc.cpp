#include "shell/folim_doc.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <iterator>
#include <memory>

#include "imageio/export.h"
#include "imageio/library_io.h"
#include "shell/native_path.h"

namespace {

// Longest name or extension kept, and longest name plus extension accepted.
constexpr int kMaxNamePart = 256;
constexpr int kMaxDisplayName = 260;

}  // namespace

CFolimDoc::CFolimDoc() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  // In device pixels: a high-density screen shows more of the picture's.
  m_screenSize =
      screen != nullptr ? screen->size() * screen->devicePixelRatio() : QSize(1920, 1080);
  connect(&loader_, &CThumbnailLoader::thumbnailReady, this, &CFolimDoc::onThumbnailReady);
  connect(&jobs_, &CJobRunner::runningChanged, this, &CFolimDoc::busyChanged);
  connect(&facts_, &CSortFacts::progress, this, &CFolimDoc::datesProgress);
  connect(&facts_, &CSortFacts::gathered, this, [this] {
    StopLoadingThumbnails();
    if (arrangeList()) showPageOfCurrent();
  });
}

CFolimDoc::~CFolimDoc() = default;

// --- Listing and paging

void CFolimDoc::ListFolder(const QString& dir) {
  SetDirectory(dir);
  ResetPaging();
}

void CFolimDoc::Refresh() {
  if (!m_currentDir.isEmpty()) ListFolder(m_currentDir);
}

void CFolimDoc::SetIncludeSubDirs(bool include) {
  m_includeSubDirs = include;
  ListFolder(m_currentDir);
}

void CFolimDoc::SetDirectory(const QString& dir) {
  // Results of a page still loading refer to the old list: drop them.
  StopLoadingThumbnails();
  m_currentDir = dir;
  m_listed.clear();
  if (m_isRanking) {
    m_isRanking = false;
    if (m_order.key == SortKey::Score) {
      m_order.key = m_folderOrder.key;
      m_order.descending = m_folderOrder.descending;
      emit orderChanged();
    }
  }
  ListDirectory(dir);
  emit folderChanged(dir);
}

void CFolimDoc::ListDirectory(const QString& dir) {
  std::vector<ImageEntry> listed =
      listImageEntries(toNativePath(dir), m_includeSubDirs, ListedNames::Readable);
  m_listed.insert(m_listed.end(), std::make_move_iterator(listed.begin()),
                  std::make_move_iterator(listed.end()));
  arrangeList();
}

void CFolimDoc::ResetPaging() {
  m_paging = Paging::ForEntries(m_entries.size());
  emit pagingChanged(m_paging.page, m_paging.pageCount);
  LoadThumbnails();
}

void CFolimDoc::ChoosePage(int p) {
  if (!m_paging.IsChoosable(p)) return;
  m_paging.page = p;
  emit pagingChanged(m_paging.page, m_paging.pageCount);
  LoadThumbnails();
}

void CFolimDoc::StopLoadingThumbnails() {
  if (!loader_.isLoading()) return;
  loader_.cancel();
  loadTotal_ = 0;
  emit loadingStopped();
}

void CFolimDoc::LoadThumbnails() {
  StopLoadingThumbnails();
  emit thumbnailsCleared();
  // The entry count of the last reset may be stale when the list changed
  // since (a conversion re-lists the folder): never run past the list.
  const std::int64_t first = m_paging.FirstEntry();
  const std::int64_t last = std::min<std::int64_t>(first + GetPageItemCount(),
                                                   static_cast<std::int64_t>(m_entries.size()));
  std::vector<CThumbnailLoader::Job> jobs;
  for (std::int64_t i = std::max<std::int64_t>(first, 0); i < last; ++i) {
    jobs.push_back(
        {static_cast<int>(i), fromNativePath(m_entries[static_cast<std::size_t>(i)].path)});
  }
  if (jobs.empty()) return;
  loadTotal_ = static_cast<int>(jobs.size());
  emit loadProgress(1, loadTotal_);
  loader_.start(std::move(jobs));
}

void CFolimDoc::onThumbnailReady(int position, int index, int baseType, const QImage& thumbnail) {
  if (index < 0 || static_cast<std::size_t>(index) >= m_entries.size()) return;
  const auto i = static_cast<std::size_t>(index);
  m_entries[i].baseType = static_cast<std::int16_t>(baseType);
  m_listed[m_listedAt[i]].baseType = m_entries[i].baseType;
  emit thumbnailAdded(position, CaptionOf(i), thumbnail, ToolTipOf(i));
  if (position + 1 < loadTotal_) {
    emit loadProgress(position + 2, loadTotal_);
  } else {
    loadTotal_ = 0;
    emit thumbnailsLoaded();
  }
}

void CFolimDoc::ShowRanking(std::vector<ImageEntry> ranking) {
  StopLoadingThumbnails();
  m_listed = std::move(ranking);
  m_isRanking = true;
  m_order.key = SortKey::Score;
  m_order.descending = true;
  emit orderChanged();
  arrangeList();
  ResetPaging();
}

// --- Order and filter

bool CFolimDoc::SetOrder(const ListOrder& order) {
  if (order.key == SortKey::Score && !m_isRanking) return false;
  StopLoadingThumbnails();
  m_order = order;
  if (order.key != SortKey::Score) m_folderOrder = order;
  emit orderChanged();
  if (arrangeList()) showPageOfCurrent();
  return true;
}

bool CFolimDoc::arrangeList() {
  std::vector<SortFacts> facts;
  if (NeedsFacts(m_order.key)) {
    std::vector<std::string> paths;
    paths.reserve(m_listed.size());
    for (const ImageEntry& entry : m_listed) paths.push_back(entry.path);
    std::vector<std::string> missing;
    facts = facts_.Known(paths, NeedsDatesTaken(m_order.key), &missing);
    if (!missing.empty()) {
      // Shown once the dates are in; until then nothing is.
      facts_.Gather(std::move(missing));
      m_entries.clear();
      m_listedAt.clear();
      emit listChanged(0, static_cast<int>(m_listed.size()));
      return false;
    }
  } else {
    facts_.Cancel();
  }
  // Names are compared as their paths from the listed folder.
  const QString folder =
      m_currentDir.endsWith(QLatin1Char('/')) ? m_currentDir : m_currentDir + QLatin1Char('/');
  std::vector<OrderItem> items(m_listed.size());
  for (std::size_t i = 0; i < m_listed.size(); ++i) {
    const QString path = fromNativePath(m_listed[i].path);
    items[i].name = !m_currentDir.isEmpty() && path.startsWith(folder)
                        ? path.mid(folder.size())
                        : path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    items[i].score = m_listed[i].score;
    if (!facts.empty()) items[i].facts = facts[i];
  }
  m_listedAt = OrderItems(items, m_order);
  m_entries.clear();
  m_entries.reserve(m_listedAt.size());
  for (const std::size_t i : m_listedAt) m_entries.push_back(m_listed[i]);
  emit listChanged(static_cast<int>(m_entries.size()), static_cast<int>(m_listed.size()));
  return true;
}

void CFolimDoc::showPageOfCurrent() {
  m_paging = Paging::ForEntries(m_entries.size());
  const int current = CurrentEntry();
  if (current >= 0) m_paging.page = current / ITEMS_PER_PAGE;
  emit pagingChanged(m_paging.page, m_paging.pageCount);
  LoadThumbnails();
}

Status CFolimDoc::GetDisplayName(const QString& path, QString& name) {
  const QString fileName = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
  const int dot = static_cast<int>(fileName.lastIndexOf(QLatin1Char('.')));
  QString base = dot < 0 ? fileName : fileName.left(dot);
  QString extension = dot < 0 ? QString() : fileName.mid(dot);
  base.truncate(kMaxNamePart);
  extension.truncate(kMaxNamePart);
  if (base.size() + extension.size() > kMaxDisplayName) {
    name.clear();
    return status::BufferShort;
  }
  name = base + extension;
  return status::Success;
}

QString CFolimDoc::EmptyListHint() const {
  if (!m_entries.empty()) return QString();
  if (m_isRanking)
    return tr("No picture matched. Choose another query image or folder, then search again.");
  if (m_currentDir.isEmpty()) {
    return tr(
        "Choose a folder on the left, or drop a picture here.\n"
        "Then select a picture and press Search to find the ones that look like it.");
  }
  const QString where = QDir::toNativeSeparators(m_currentDir);
  if (!m_includeSubDirs) {
    return tr("No pictures in %1.\nChoose another folder, include its sub-folders, or drop a "
              "picture here.")
        .arg(where);
  }
  return tr("No pictures in %1 or its sub-folders.\nChoose another folder, or drop a picture here.")
      .arg(where);
}

QString CFolimDoc::CaptionOf(std::size_t i) const {
  const ImageEntry& entry = m_entries[i];
  const QString path = fromNativePath(entry.path);
  // A name too long to show is left out; the rank or the folder still shows.
  QString name;
  QString caption = GetDisplayName(path, name) == status::Success ? name : QString();
  if (m_isRanking) {
    caption += QLatin1Char('\n') +
               tr("#%1  %2").arg(m_listedAt[i] + 1).arg(QString::number(entry.score, 'f', 3));
  } else if (m_includeSubDirs && !m_currentDir.isEmpty()) {
    // Which sub-folder it lies in, when that is not the listed one.
    const QString folder = QDir(m_currentDir).relativeFilePath(QFileInfo(path).path());
    if (folder != QLatin1String(".")) caption += QLatin1Char('\n') + folder;
  }
  return caption;
}

QString CFolimDoc::ToolTipOf(std::size_t i) const {
  const ImageEntry& entry = m_entries[i];
  QString tip = fromNativePath(entry.path);
  if (m_isRanking) {
    tip += QLatin1Char('\n') + tr("Edge %1, colour %2, total %3")
                                   .arg(QString::number(entry.edgeSimilarity, 'f', 6),
                                        QString::number(entry.colorSimilarity, 'f', 6),
                                        QString::number(entry.score, 'f', 6));
  }
  return tip;
}

// --- The current image

void CFolimDoc::SelectRow(int row) {
  const std::int64_t entry = m_paging.EntryOfRow(row, m_entries.size());
  // The list may show a page of an older listing: never read past the end.
  if (entry < 0) return;
  SelectImage(fromNativePath(m_entries[static_cast<std::size_t>(entry)].path));
}

bool CFolimDoc::SelectImage(const QString& path) {
  if (m_queryLocked) return false;
  m_currentPath = path;
  // Decoded only as far as the screen shows it: selecting a photograph of
  // 50 megapixels stays quick and small.
  m_currentImage.LoadImageFileForScreen(toNativePath(path), m_screenSize.width(),
                                        m_screenSize.height());
  emit currentImageChanged(path);
  return true;
}

void CFolimDoc::OpenImage(const QString& path) {
  if (!SelectImage(path)) return;
  emit fullSizeRequested();
  emit fileUsed(path);
}

void CFolimDoc::ShowFullSize() {
  if (!m_currentPath.isEmpty()) emit fullSizeRequested();
}

namespace {

QString cannotOpen(const QString& path, const std::string& why) {
  return CFolimDoc::tr("Cannot open %1: %2")
      .arg(path, fromNativePath(why.empty() ? "no image" : why));
}

}  // namespace

CImageEx& CFolimDoc::PrepareFullSizeImage(int boxWidth, int boxHeight, QString* failure) {
  if (!m_currentImage.IsNull() && m_currentImage.CoversBox(boxWidth, boxHeight)) {
    m_fullSizeImage = m_currentImage;
  } else {
    std::string why;
    m_fullSizeImage.LoadImageFileForScreen(toNativePath(m_currentPath), boxWidth, boxHeight, &why);
    if (m_fullSizeImage.IsNull() && failure != nullptr) *failure = cannotOpen(m_currentPath, why);
  }
  return m_fullSizeImage;
}

bool CFolimDoc::LoadFullSizePixels(QString* failure) {
  if (!m_fullSizeImage.IsReduced()) return !m_fullSizeImage.IsNull();
  CImageEx whole;
  std::string why;
  whole.LoadImageFile(toNativePath(m_currentPath), false, &why);
  if (whole.IsNull()) {
    if (failure != nullptr) *failure = cannotOpen(m_currentPath, why);
    return false;
  }
  whole.SetDrawRect(m_fullSizeImage.m_nDrawX, m_fullSizeImage.m_nDrawY,
                    m_fullSizeImage.m_nDrawWidth, m_fullSizeImage.m_nDrawHeight);
  m_fullSizeImage = std::move(whole);
  return true;
}

int CFolimDoc::CurrentEntry() const {
  if (m_currentPath.isEmpty()) return -1;
  const std::string path = toNativePath(m_currentPath);
  // The one on the page shown first, when a file is listed twice.
  const auto size = static_cast<std::int64_t>(m_entries.size());
  const std::int64_t first = std::min(m_paging.FirstEntry(), size);
  for (std::int64_t k = 0; k < size; ++k) {
    const std::int64_t i = (first + k) % size;
    if (m_entries[static_cast<std::size_t>(i)].path == path) return static_cast<int>(i);
  }
  return -1;
}

bool CFolimDoc::StepImage(int step) {
  const int current = CurrentEntry();
  if (current < 0) return false;
  const long long next = static_cast<long long>(current) + step;
  if (next < 0 || next >= static_cast<long long>(m_entries.size())) return false;
  // The thumbnails follow onto the page of the image shown.
  const int page = static_cast<int>(next / ITEMS_PER_PAGE);
  if (m_queryLocked) return false;
  if (page != m_paging.page) ChoosePage(page);
  return SelectImage(fromNativePath(m_entries[static_cast<std::size_t>(next)].path));
}

// --- Saving

QString CFolimDoc::SaveRefusal() const {
  return m_currentPath.isEmpty() ? tr("please select item") : QString();
}

QString CFolimDoc::WriteImageAs(const QString& source, int baseType, const QString& path) {
  // Every failure names the file and its cause; nothing is written then.
  const std::string target = toNativePath(path);
  const auto failure = [&path](const std::string& cause) {
    return QStringLiteral("Cannot save %1: %2").arg(path, fromNativePath(cause));
  };
  const bool toRim =
      QFileInfo(path).suffix().compare(QLatin1String("rim"), Qt::CaseInsensitive) == 0;
  if (!toRim && writerFormatFor(target).empty())
    return failure("no image format for the extension '" + targetExtension(target) + "'");
  CImageEx image;
  std::string why;
  if (!LoadForSaving(toNativePath(source), baseType, image, why))
    return failure(toNativePath(source) + ": " + why);
  const bool saved = toRim ? SaveAsRim(image, target, why) : SaveByExtension(image, target, &why);
  return saved ? QString() : failure(why);
}

QString CFolimDoc::SaveCurrentImage(const QString& path) {
  const QString failure = WriteImageAs(m_currentPath, m_currentImage.m_nBaseType, path);
  if (failure.isEmpty()) finishSaving(path);
  return failure;
}

QString CFolimDoc::SuggestedSavePath() const {
  const QFileInfo current(m_currentPath);
  const QString folder = m_currentDir.isEmpty() ? current.absolutePath() : m_currentDir;
  const bool isRim = current.suffix().compare(QLatin1String("rim"), Qt::CaseInsensitive) == 0;
  return QDir(folder).filePath(current.completeBaseName() +
                               (isRim ? QStringLiteral(".png") : QStringLiteral(".rim")));
}

bool CFolimDoc::StartSavingCurrentImage(const QString& path) {
  if (jobs_.isRunning() || m_currentPath.isEmpty()) return false;
  auto failure = std::make_shared<QString>();
  const QString source = m_currentPath;
  const int baseType = m_currentImage.m_nBaseType;
  const bool started = jobs_.start(
      [failure, source, baseType, path](const CJobRunner::Control&) {
        *failure = WriteImageAs(source, baseType, path);
      },
      this,
      [this, failure, path](bool) {
        m_saving = false;
        // Told before the folder is listed again, whose loading shows its
        // own progress.
        emit saveFinished(path, *failure);
        if (failure->isEmpty()) finishSaving(path);
      });
  if (!started) return false;
  m_saving = true;
  emit saveStarted(path);
  return true;
}

void CFolimDoc::finishSaving(const QString& path) {
  emit fileUsed(path);
  refreshIfListed(path);
}

void CFolimDoc::refreshIfListed(const QString& savedPath) {
  if (m_currentDir.isEmpty() || m_isRanking) return;
  const QString folder = QFileInfo(savedPath).absolutePath();
  if (QFileInfo(folder) == QFileInfo(m_currentDir)) Refresh();
}

// --- Work list

std::vector<ListedImage> CFolimDoc::TakeWorkList() {
  std::vector<ListedImage> items;
  items.reserve(m_listed.size());
  for (const ImageEntry& entry : m_listed) {
    m_convertNames << fromNativePath(entry.name);
    m_convertPaths << fromNativePath(entry.path);
    items.push_back({entry.name, entry.path});
  }
  return items;
}

void CFolimDoc::ReleaseWorkList() {
  m_convertNames.clear();
  m_convertPaths.clear();
}
