// The one document of the application: the current image, the listed folder
// with its image files, the order and filter of the list shown, the paging
// of that list by 50 thumbnails, the work
// list of a batch conversion and the one long job that may run. Widgets
// call its commands and listen to its signals; it knows no widget.
#pragma once

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "codec/status.h"
#include "imageio/image_ex.h"
#include "imageio/listing.h"
#include "retrieval/search.h"
#include "shell/job_runner.h"
#include "shell/list_order.h"
#include "shell/paging.h"
#include "shell/sort_facts.h"
#include "shell/thumbnail_loader.h"

class CFolimDoc : public QObject {
  Q_OBJECT

 public:
  static constexpr int ITEMS_PER_PAGE = Paging::kItemsPerPage;

  CFolimDoc();
  ~CFolimDoc() override;
  CFolimDoc(const CFolimDoc&) = delete;
  CFolimDoc& operator=(const CFolimDoc&) = delete;

  // --- Listing and paging
  // Lists dir (it becomes the current folder) and shows its first page:
  // what choosing a folder does.
  void ListFolder(const QString& dir);
  // Lists the current folder again from its first page (View > Refresh).
  void Refresh();
  // Sub-folders included or not; the folder is listed again.
  void SetIncludeSubDirs(bool include);
  // dir becomes the current folder, listed afresh (no paging).
  void SetDirectory(const QString& dir);
  // Appends the pictures of dir that an image reader takes, RIM files among
  // them (and of its subfolders, depth first, when sub-folders are
  // included), ordered by name without regard to case, to the listing; the
  // list shown follows the order.
  void ListDirectory(const QString& dir);
  // Page 0, page count from the entry count, then the first page loads.
  void ResetPaging();
  int GetPageItemCount() const { return m_paging.ItemsOnPage(); }
  // Shows page p (ignored with a single page).
  void ChoosePage(int p);
  // Refills the thumbnail list with the current page. The thumbnails are
  // made on all cores and arrive in page order; the call returns at once.
  void LoadThumbnails();
  void StopLoadingThumbnails();
  bool IsLoadingThumbnails() const { return loader_.isLoading(); }
  // Replaces the list by a ranking, best first, and shows its first page.
  // The list is sorted by score, descending, until a folder is listed again
  // (which goes back to the order it had before).
  void ShowRanking(std::vector<ImageEntry> ranking);

  // --- Order and filter of the list shown
  // Orders and filters the list shown (entries()), then shows the page that
  // holds the current image, else the first. Sorting by score is refused
  // (false) unless the list holds a ranking. An order that needs dates taken
  // not yet known first reads them in the background (datesProgress): the
  // list shown stays empty until they are in.
  bool SetOrder(const ListOrder& order);
  const ListOrder& order() const { return m_order; }
  // Dates taken are being read before the list can be shown.
  bool IsReadingDates() const { return facts_.IsGathering(); }

  // --- The current image
  // Row `row` of the page shown becomes the current image.
  void SelectRow(int row);
  // path becomes the current image (loaded, shown in the query box); false,
  // and nothing changes, while the query is locked.
  bool SelectImage(const QString& path);
  // While a search ranks the current image it stays the query: choosing
  // another one waits for the search's end.
  void LockQuery(bool locked) { m_queryLocked = locked; }
  bool IsQueryLocked() const { return m_queryLocked; }
  // path becomes the current image and opens at full size (Open, recent
  // files, a dropped file).
  void OpenImage(const QString& path);
  // Asks for the full-size window on the current image.
  void ShowFullSize();
  // The entry shown in the full-size window moves by step along the
  // listing (next +1, previous -1); false when there is none that way.
  bool StepImage(int step);
  // The full-size image takes a copy of the current image's pixels (the
  // current image may be replaced while the window is open), or is loaded
  // from the current path when the current image holds none or holds it
  // reduced too far for a box of boxWidth x boxHeight (then reduced only as
  // far as the box allows). When it cannot be loaded, failure (when given)
  // receives the message to show.
  CImageEx& PrepareFullSizeImage(int boxWidth, int boxHeight, QString* failure = nullptr);
  // Decodes the whole picture into the full-size image when it holds it
  // reduced (zooming in needs its pixels); false, with the message to show
  // in failure when given, when it cannot be read (the reduced picture stays).
  bool LoadFullSizePixels(QString* failure = nullptr);
  // Index of the current image in the entries, or -1.
  int CurrentEntry() const;

  // --- Saving (the window asks where)
  // Why the current image cannot be saved ("please select item" while there
  // is none), or an empty text.
  QString SaveRefusal() const;
  // Saves the current image's file as path: a RIM file for the extension
  // "rim" (any case), else in the format of its extension. The file is read
  // again, whole, whatever is on show. Empty when it is saved (then it counts
  // as used and shows up in the listed folder); else the message naming the
  // file and the cause, and nothing is written.
  QString SaveCurrentImage(const QString& path);
  // Where Save suggests to write: in the listed folder (else the image's
  // own), named after the image, as RIM (a RIM file as PNG).
  QString SuggestedSavePath() const;
  // SaveCurrentImage on the job runner: saveStarted now, saveFinished on
  // this thread when it is written or has failed. False, and nothing
  // starts, while another job runs.
  bool StartSavingCurrentImage(const QString& path);
  bool IsSaving() const { return m_saving; }

  // --- Batch conversions and the one long job
  // The listing becomes the work list (names and paths, cleared by
  // ReleaseWorkList when the job ends); the job converts the copy returned.
  std::vector<ListedImage> TakeWorkList();
  void ReleaseWorkList();
  CJobRunner& jobs() { return jobs_; }
  bool IsBusy() const { return jobs_.isRunning(); }

  // The file name with extension of path; status::BufferShort and an empty
  // name when name and extension together exceed 260 characters.
  static Status GetDisplayName(const QString& path, QString& name);
  // What an empty thumbnail list tells the user to do (no folder listed
  // yet, or a folder without pictures); empty while the list has entries.
  QString EmptyListHint() const;
  // The caption and tooltip of entry i's thumbnail.
  QString CaptionOf(std::size_t i) const;
  QString ToolTipOf(std::size_t i) const;

  // --- The state, changed through the commands above
  // The list shown: the listing in the order, through the filter. Pages,
  // rows and steps count in it.
  const std::vector<ImageEntry>& entries() const { return m_entries; }
  // The list as listed or ranked, before order and filter: the folder in
  // the platform's order, or the ranking best first. Searches and
  // conversions take it whole.
  const std::vector<ImageEntry>& listing() const { return m_listed; }
  const QString& currentDir() const { return m_currentDir; }
  bool includeSubDirs() const { return m_includeSubDirs; }
  const Paging& paging() const { return m_paging; }
  // The list holds a ranking (captions show rank and score).
  bool isRanking() const { return m_isRanking; }
  const QString& currentPath() const { return m_currentPath; }
  // Only shown (query box, full-size window): a large photograph may be held
  // reduced to what the screen shows. Saving, converting and searching read
  // the file itself. The windows that show them place them (their display
  // rectangles), hence the writable references.
  const CImageEx& currentImage() const { return m_currentImage; }
  CImageEx& currentImage() { return m_currentImage; }
  const CImageEx& fullSizeImage() const { return m_fullSizeImage; }
  CImageEx& fullSizeImage() { return m_fullSizeImage; }
  // The work list of the running conversion (names and paths).
  const QStringList& convertNames() const { return m_convertNames; }
  const QStringList& convertPaths() const { return m_convertPaths; }
  // The screen the pictures are read for (the primary screen's size in
  // device pixels).
  QSize screenSize() const { return m_screenSize; }
  void SetScreenSize(const QSize& size) { m_screenSize = size; }

 signals:
  // Page or page count changed (and when the controls must show them).
  void pagingChanged(int page, int pageCount);
  void thumbnailsCleared();
  // Row `row` of the page: its caption, thumbnail and tooltip.
  void thumbnailAdded(int row, const QString& caption, const QImage& thumbnail,
                      const QString& toolTip);
  // Thumbnail k of n is being made (from 1).
  void loadProgress(int k, int n);
  // The last thumbnail of the page has been added to the list.
  void thumbnailsLoaded();
  // The page being loaded was abandoned.
  void loadingStopped();
  void currentImageChanged(const QString& path);
  void fullSizeRequested();
  void folderChanged(const QString& dir);
  // The order or the filter changed (a ranking sorts by score).
  void orderChanged();
  // The list shown changed: shown of the listed pictures pass the filter.
  void listChanged(int shown, int listed);
  // done of total dates taken read before the list can be shown.
  void datesProgress(int done, int total);
  void busyChanged(bool busy);
  void saveStarted(const QString& path);
  // failure is empty when path has been written.
  void saveFinished(const QString& path, const QString& failure);
  // A file was opened or saved (for the recent-file list).
  void fileUsed(const QString& path);

 private:
  void onThumbnailReady(int position, int index, int baseType, const QImage& thumbnail);
  // Reads source again whole and writes it to path (RIM for "rim", else by
  // the extension); the failure message, or empty. Any thread.
  static QString WriteImageAs(const QString& source, int baseType, const QString& path);
  // A saved file counts as used and shows up in the listed folder.
  void finishSaving(const QString& path);
  // A saved file in the listed folder shows up there.
  void refreshIfListed(const QString& savedPath);
  // Makes the list shown from the listing; false while the dates taken the
  // order needs are read first.
  bool arrangeList();
  // Pages the list shown from the page that holds the current image.
  void showPageOfCurrent();

  std::vector<ImageEntry> m_listed;
  std::vector<ImageEntry> m_entries;
  // Of each entry shown, its position in the listing (its rank in a ranking).
  std::vector<std::size_t> m_listedAt;
  ListOrder m_order;
  // The order a folder listing goes back to after a ranking.
  ListOrder m_folderOrder;
  CImageEx m_currentImage;
  QString m_currentPath;
  CImageEx m_fullSizeImage;
  QString m_currentDir;
  bool m_includeSubDirs = false;
  Paging m_paging;
  QStringList m_convertNames;
  QStringList m_convertPaths;
  bool m_isRanking = false;
  bool m_queryLocked = false;
  bool m_saving = false;
  QSize m_screenSize;

  CThumbnailLoader loader_;
  CJobRunner jobs_;
  CSortFacts facts_;
  int loadTotal_ = 0;
};
