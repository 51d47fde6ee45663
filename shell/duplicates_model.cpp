#include "shell/duplicates_model.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <algorithm>
#include <functional>
#include <string>
#include <thread>

#include "imageio/library_io.h"
#include "imageio/signature_source.h"
#include "index/index_location.h"
#include "index/refresh.h"
#include "shell/file_commands.h"
#include "shell/folim_doc.h"
#include "shell/index_setting.h"
#include "shell/job_runner.h"
#include "shell/native_path.h"

namespace {

QString translated(const char* text) {
  return QCoreApplication::translate("CDuplicatesModel", text);
}

DuplicateFile describe(const ImageEntry& entry) {
  DuplicateFile file;
  file.path = fromNativePath(entry.path);
  file.score = entry.score;
  const QFileInfo info(file.path);
  file.bytes = info.size();
  file.modified = info.lastModified();
  int width = 0, height = 0;
  if (ReadImageSize(entry.path, width, height)) file.pixels = QSize(width, height);
  return file;
}

double meanScore(const DuplicateFileGroup& group) {
  double sum = 0.0;
  for (std::size_t i = 1; i < group.files.size(); ++i) sum += group.files[i].score;
  return group.files.size() > 1 ? sum / static_cast<double>(group.files.size() - 1) : 0.0;
}

// Marks every file of the group but the one keep chooses (its index).
void keepOne(DuplicateFileGroup& group, std::size_t keep) {
  for (std::size_t i = 0; i < group.files.size(); ++i) group.files[i].remove = i != keep;
}

}  // namespace

// What the worker hands to the end of the job.
struct CDuplicatesModel::Run {
  std::vector<DuplicateFileGroup> groups;
  QString failure;
};

CDuplicatesModel::CDuplicatesModel(CFolimDoc& doc, CFileCommands& commands, QObject* parent)
    : QObject(parent), doc_(doc), commands_(commands) {
  connect(&doc_.jobs(), &CJobRunner::progress, this,
          [this](int percent, int, const QString& caption) {
            if (running_) emit progress(percent, caption);
          });
}

CDuplicatesModel::~CDuplicatesModel() = default;

bool CDuplicatesModel::Start(const QStringList& folders, bool recursive, double threshold,
                             ColorMode colorMode) {
  if (running_ || doc_.IsBusy()) return false;
  std::vector<std::string> dirs;
  for (const QString& folder : folders) dirs.push_back(indexFolder(toNativePath(folder)));
  auto run = std::make_shared<Run>();
  const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
  CJobRunner::Work work = [dirs, recursive, threshold, colorMode, threads,
                           run](const CJobRunner::Control& control) {
    const IndexChoice choice = windowIndexChoice();
    SignatureIndex index;
    std::string notice, error;
    if (choice.path.empty() || !index.Open(choice.path, choice.owner, notice, error)) {
      run->failure =
          translated(QT_TRANSLATE_NOOP("CDuplicatesModel", "Cannot open the index %1: %2"))
              .arg(fromNativePath(index.file()), QString::fromStdString(error));
      return;
    }
    const SignatureParameters parameters = currentSignatureParameters();
    const std::string params = signatureParametersKey(parameters);
    const auto source = IndexSignatureSource(parameters);
    for (const std::string& dir : dirs) {
      // The index is brought up to date first, as the command line does.
      RefreshRequest refresh;
      refresh.dir = dir;
      refresh.recursive = recursive;
      refresh.files = listIndexablePictures(dir, recursive);
      refresh.params = params;
      refresh.jobs = threads;
      refresh.stop = control.cancelFlag();
      RefreshCounts counts;
      const QString caption =
          translated(QT_TRANSLATE_NOOP("CDuplicatesModel", "Indexing pictures %1 / %2 ..."));
      if (!RefreshFolder(
              index, refresh, source,
              [&](std::size_t done, std::size_t total) {
                control.report(static_cast<int>(done), static_cast<int>(total),
                               caption.arg(done).arg(total));
              },
              counts, error)) {
        run->failure =
            translated(QT_TRANSLATE_NOOP("CDuplicatesModel", "Cannot update the index %1: %2"))
                .arg(fromNativePath(index.file()), QString::fromStdString(error));
        return;
      }
      if (control.isCancelled()) return;
      control.report(0, 0,
                     translated(QT_TRANSLATE_NOOP("CDuplicatesModel", "Grouping pictures ...")));
      DuplicateRequest request;
      request.dir = dir;
      request.recursive = recursive;
      request.params = params;
      request.threshold = threshold;
      request.colorMode = static_cast<std::int32_t>(colorMode);
      request.colorWeight = PresetColorPercent(colorMode) / 100.0;
      request.threads = threads;
      std::vector<DuplicateGroup> groups;
      std::vector<std::int64_t> damaged;
      if (!FindDuplicates(index, request, groups, error, &damaged)) {
        run->failure =
            translated(QT_TRANSLATE_NOOP("CDuplicatesModel", "Cannot read the index %1: %2"))
                .arg(fromNativePath(index.file()), QString::fromStdString(error));
        return;
      }
      // Damaged rows are learned again next time.
      if (!damaged.empty()) index.DropRows(damaged);
      for (const DuplicateGroup& group : groups) {
        DuplicateFileGroup files;
        for (const ImageEntry& entry : group.members) files.files.push_back(describe(entry));
        run->groups.push_back(std::move(files));
      }
    }
  };
  running_ = true;
  emit started();
  doc_.jobs().start(std::move(work), this, [this, run](bool cancelled) { onDone(run, cancelled); });
  return true;
}

void CDuplicatesModel::Cancel() {
  if (running_) doc_.jobs().cancel();
}

void CDuplicatesModel::onDone(const std::shared_ptr<Run>& run, bool cancelled) {
  running_ = false;
  if (!cancelled && run->failure.isEmpty()) {
    groups_ = std::move(run->groups);
    sort();
  }
  emit finished(cancelled ? QString() : run->failure);
  emit groupsChanged();
}

void CDuplicatesModel::SetOrder(DuplicateOrder order) {
  order_ = order;
  sort();
  emit groupsChanged();
}

void CDuplicatesModel::sort() {
  // Stable: groups alike in the order chosen stay in the order of their
  // first file's path, as the command line lists them.
  std::stable_sort(groups_.begin(), groups_.end(),
                   [this](const DuplicateFileGroup& a, const DuplicateFileGroup& b) {
                     if (order_ == DuplicateOrder::BySize) return a.files.size() > b.files.size();
                     return meanScore(a) > meanScore(b);
                   });
}

void CDuplicatesModel::KeepLargest() {
  for (DuplicateFileGroup& group : groups_) {
    std::size_t keep = 0;
    for (std::size_t i = 1; i < group.files.size(); ++i) {
      const DuplicateFile& a = group.files[i];
      const DuplicateFile& b = group.files[keep];
      const qint64 pa = qint64(a.pixels.width()) * a.pixels.height();
      const qint64 pb = qint64(b.pixels.width()) * b.pixels.height();
      if (pa > pb || (pa == pb && a.bytes > b.bytes)) keep = i;
    }
    keepOne(group, keep);
  }
  emit groupsChanged();
}

void CDuplicatesModel::KeepOldest() {
  for (DuplicateFileGroup& group : groups_) {
    std::size_t keep = 0;
    for (std::size_t i = 1; i < group.files.size(); ++i)
      if (group.files[i].modified < group.files[keep].modified) keep = i;
    keepOne(group, keep);
  }
  emit groupsChanged();
}

void CDuplicatesModel::KeepInFolder(const QString& folder) {
  const QString dir = QFileInfo(folder).absoluteFilePath();
  for (DuplicateFileGroup& group : groups_) {
    for (std::size_t i = 0; i < group.files.size(); ++i) {
      if (QFileInfo(group.files[i].path).absolutePath() == dir) {
        keepOne(group, i);
        break;
      }
    }
  }
  emit groupsChanged();
}

void CDuplicatesModel::SetRemove(std::size_t group, std::size_t file, bool remove) {
  if (group < groups_.size() && file < groups_[group].files.size())
    groups_[group].files[file].remove = remove;
}

QString CDuplicatesModel::TrashMarked() {
  QStringList marked;
  for (const DuplicateFileGroup& group : groups_)
    for (const DuplicateFile& file : group.files)
      if (file.remove) marked << file.path;
  const FileOperationReport report = commands_.TrashFiles(marked);
  QStringList trashed;
  for (const auto& done : report.done) trashed << fromNativePath(done.first);
  qint64 bytes = 0;
  for (DuplicateFileGroup& group : groups_) {
    auto gone = [&](const DuplicateFile& file) {
      if (!trashed.contains(file.path)) return false;
      bytes += file.bytes;
      return true;
    };
    group.files.erase(std::remove_if(group.files.begin(), group.files.end(), gone),
                      group.files.end());
  }
  groups_.erase(std::remove_if(groups_.begin(), groups_.end(),
                               [](const DuplicateFileGroup& g) { return g.files.size() < 2; }),
                groups_.end());
  emit groupsChanged();
  return translated(
             QT_TRANSLATE_NOOP("CDuplicatesModel", "%1 files (%2 bytes) moved to the trash."))
      .arg(trashed.size())
      .arg(bytes);
}
