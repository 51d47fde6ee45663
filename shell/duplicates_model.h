// The Duplicates view without its widgets: the folders chosen are brought up
// to date in the index and grouped by the same code as `folim-cli
// duplicates`, on the document's job runner; each group's files carry their
// size, date and folder; the user marks files to remove (one at a time or
// keeping the largest, the oldest, or the one in a folder of each group),
// and the marked ones go to the desktop's trash, the index following.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "index/duplicates.h"
#include "retrieval/color_mode.h"

class CFileCommands;
class CFolimDoc;

struct DuplicateFile {
  QString path;
  double score = 0.0;  // against the group's first file (1 for itself)
  qint64 bytes = 0;
  QDateTime modified;
  QSize pixels;  // empty when the header cannot be read
  bool remove = false;
};

struct DuplicateFileGroup {
  std::vector<DuplicateFile> files;  // the most representative first
};

// How the groups are listed: most files first, or most alike first (by the
// mean score of the group's other files).
enum class DuplicateOrder { BySize, ByScore };

class CDuplicatesModel : public QObject {
  Q_OBJECT

 public:
  CDuplicatesModel(CFolimDoc& doc, CFileCommands& commands, QObject* parent = nullptr);
  ~CDuplicatesModel() override;

  // Groups the pictures of each folder (and of its sub-folders when
  // recursive) whose files score at least threshold under colorMode's
  // measure (at its preset colour weight); false when a job runs.
  bool Start(const QStringList& folders, bool recursive,
             double threshold = kDefaultDuplicateThreshold,
             ColorMode colorMode = kDefaultColorMode);
  bool IsRunning() const { return running_; }
  void Cancel();

  const std::vector<DuplicateFileGroup>& groups() const { return groups_; }
  void SetOrder(DuplicateOrder order);

  // In every group, marks all but one file: the one of most pixels (then
  // bytes), the oldest, or the first one in folder (groups without a file
  // there are left as they are).
  void KeepLargest();
  void KeepOldest();
  void KeepInFolder(const QString& folder);
  void SetRemove(std::size_t group, std::size_t file, bool remove);

  // Moves the marked files to the trash and leaves them out of the groups
  // (a group left with one file goes). The summary to show.
  QString TrashMarked();

 signals:
  void started();
  void progress(int percent, const QString& caption);
  // The groups are in (or failure says why not; empty when cancelled).
  void finished(const QString& failure);
  void groupsChanged();

 private:
  struct Run;
  void onDone(const std::shared_ptr<Run>& run, bool cancelled);
  void sort();

  CFolimDoc& doc_;
  CFileCommands& commands_;
  std::vector<DuplicateFileGroup> groups_;
  DuplicateOrder order_ = DuplicateOrder::BySize;
  bool running_ = false;
};
