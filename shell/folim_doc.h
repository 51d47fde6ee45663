// The one document of the application: the views and windows of the shell,
// the current image, the listed folder with its image files, the paging of
// that list by 50 thumbnails, and the work list of a batch conversion.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "codec/status.h"
#include "imageio/image_ex.h"
#include "retrieval/search.h"
#include "shell/thumbnail_loader.h"

class CListViewEx;
class CTabView;
class COriginalImage;
class CProgressDialog;
class QWidget;

class CFolimDoc : public QObject {
  Q_OBJECT

 public:
  static constexpr int ITEMS_PER_PAGE = 50;

  CFolimDoc();
  ~CFolimDoc() override;
  CFolimDoc(const CFolimDoc&) = delete;
  CFolimDoc& operator=(const CFolimDoc&) = delete;

  // m_currentDir = dir, then the folder is listed afresh.
  void SetDirectory(const QString& dir);
  // Appends the image files of dir (and of its subfolders, depth first, when
  // m_includeSubDirs is set), ordered by name without regard to case.
  void ListDirectory(const QString& dir);
  // Page 0, page count from the entry count, page controls, thumbnails.
  void ResetPaging();
  int GetPageItemCount() const;
  // Slider range and position, "/ %d pages" and the page number of the form
  // on the selected tab.
  void UpdatePageControls();
  // Refills the thumbnail list with the current page. The thumbnails are
  // made on a worker thread and appear one by one; the call returns at once.
  void LoadThumbnails();
  // The file name with extension of path; status 3 and an empty name when
  // name and extension together exceed 260 characters.
  static Status GetDisplayName(const QString& path, QString& name);

  // File menu.
  void OnFileOpen();
  void OnFileSave();
  // Makes path the current image and shows it at full size (Open and the
  // recent-file list).
  void OpenImage(const QString& path);

  // Abandons the page being loaded (the list is being emptied).
  void StopLoadingThumbnails();
  // True while the thumbnails of the current page are still being made.
  bool IsLoadingThumbnails() const { return loadDone_ < loadTotal_; }

  CListViewEx* m_pListView = nullptr;
  CTabView* m_pTabView = nullptr;
  COriginalImage* m_pOriginalImage = nullptr;
  CProgressDialog* m_pProgressDialog = nullptr;
  std::vector<ImageEntry> m_entries;
  CImageEx m_currentImage;
  QString m_currentPath;
  CImageEx m_fullSizeImage;
  QString m_currentDir;
  std::int32_t m_includeSubDirs = 0;
  std::int32_t m_page = 0;
  std::int32_t m_pageCount = 1;
  std::uint32_t m_entryCount = 0;
  QStringList m_convertNames;
  QStringList m_convertPaths;

 signals:
  // The last thumbnail of the page has been added to the list.
  void thumbnailsLoaded();
  // A file was opened or saved (for the recent-file list).
  void fileUsed(const QString& path);

 private:
  void onThumbnailReady(quint64 batch, int index, int baseType, const QImage& thumbnail);
  void finishLoading();
  QWidget* dialogParent() const;

  CThumbnailLoader loader_;
  std::uint64_t batch_ = 0;
  int loadTotal_ = 0;
  int loadDone_ = 0;
};

// The document of the running application, or null before it exists.
CFolimDoc* GetFolimDoc();
