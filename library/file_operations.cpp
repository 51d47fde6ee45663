#include "library/file_operations.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

#include "index/file_stamp.h"
#include "index/refresh.h"
#include "library/file_move.h"

namespace {

bool validName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

}  // namespace

FileOperations::FileOperations(SignatureIndex* index, std::string params)
    : index_(index), params_(std::move(params)) {}

FileOperationReport FileOperations::Copy(const std::vector<std::string>& files,
                                         const std::string& folder,
                                         const ConflictResolver& resolve) {
  return transfer(Kind::Copy, files, folder, resolve);
}

FileOperationReport FileOperations::Move(const std::vector<std::string>& files,
                                         const std::string& folder,
                                         const ConflictResolver& resolve) {
  return transfer(Kind::Move, files, folder, resolve);
}

FileOperationReport FileOperations::transfer(Kind kind, const std::vector<std::string>& files,
                                             const std::string& folder,
                                             const ConflictResolver& resolve) {
  FileOperationReport report;
  std::vector<Step> steps;
  for (const std::string& file : files) {
    const std::string target = folder + "/" + NameOf(file);
    if (kind == Kind::Move && target == file) {
      report.skipped.push_back(file);
      continue;
    }
    place(kind, file, target, resolve, steps, report);
  }
  // A copy is not taken back by Undo: it only adds files (one it replaced
  // is in the trash, for the user to restore).
  if (kind == Kind::Move && !steps.empty()) undo_ = std::move(steps);
  return report;
}

FileOperationReport FileOperations::Rename(const std::string& file, const std::string& newName,
                                           const ConflictResolver& resolve) {
  FileOperationReport report;
  if (!validName(newName)) {
    report.failures.push_back({file, "Invalid file name: \"" + newName + "\""});
    return report;
  }
  const std::string target = FolderOf(file) + "/" + newName;
  if (target == file) {
    report.skipped.push_back(file);
    return report;
  }
  std::vector<Step> steps;
  place(Kind::Move, file, target, resolve, steps, report);
  if (!steps.empty()) undo_ = std::move(steps);
  return report;
}

FileOperationReport FileOperations::Trash(const std::vector<std::string>& files) {
  FileOperationReport report;
  std::vector<Step> steps;
  for (const std::string& file : files) trashOne(file, steps, report);
  if (!steps.empty()) undo_ = std::move(steps);
  return report;
}

bool FileOperations::place(Kind kind, const std::string& file, std::string target,
                           const ConflictResolver& resolve, std::vector<Step>& steps,
                           FileOperationReport& report) {
  if (PathTaken(target)) {
    switch (resolve ? resolve(file, target) : ConflictChoice::Skip) {
      case ConflictChoice::Skip:
        report.skipped.push_back(file);
        return false;
      case ConflictChoice::KeepBoth:
        target = FreeNameBeside(FolderOf(target), NameOf(target));
        break;
      case ConflictChoice::Replace:
        // A copy into its own folder: the file would go to the trash in
        // place of itself.
        if (target == file) {
          report.skipped.push_back(file);
          return false;
        }
        if (std::filesystem::is_directory(target)) {
          report.failures.push_back({file, std::strerror(EISDIR)});
          return false;
        }
        // The file replaced goes to the trash, never away for good.
        if (!trashOne(target, steps, report)) return false;
        report.done.pop_back();
        break;
    }
  }
  const SavedRow before = save(file);
  std::string cause;
  const bool placed =
      kind == Kind::Move ? MoveFile(file, target, cause) : CopyFile(file, target, cause);
  if (!placed) {
    report.failures.push_back({file, cause});
    return false;
  }
  report.done.emplace_back(file, target);
  if (kind == Kind::Move) {
    Step step;
    step.from = file;
    step.to = target;
    steps.push_back(std::move(step));
    indexMoved(file, target, before, report);
  } else {
    indexCopied(target, before, report);
  }
  return true;
}

bool FileOperations::trashOne(const std::string& file, std::vector<Step>& steps,
                              FileOperationReport& report) {
  Step step;
  step.trashed = true;
  step.saved = save(file);
  std::string cause;
  if (!MoveToTrash(file, step.trash, cause)) {
    report.failures.push_back({file, cause});
    return false;
  }
  report.done.emplace_back(file, step.trash.inTrash);
  indexRemoved(file, report);
  steps.push_back(std::move(step));
  return true;
}

FileOperationReport FileOperations::Undo() {
  FileOperationReport report;
  std::vector<Step> steps = std::move(undo_);
  undo_.clear();
  for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
    std::string cause;
    if (step->trashed) {
      if (!RestoreFromTrash(step->trash, cause)) {
        report.failures.push_back({step->trash.original, cause});
        continue;
      }
      report.done.emplace_back(step->trash.inTrash, step->trash.original);
      indexRestored(step->trash.original, step->saved, report);
    } else {
      const SavedRow before = save(step->to);
      if (!MoveFile(step->to, step->from, cause)) {
        report.failures.push_back({step->to, cause});
        continue;
      }
      report.done.emplace_back(step->to, step->from);
      indexMoved(step->to, step->from, before, report);
    }
  }
  return report;
}

FileOperations::SavedRow FileOperations::save(const std::string& path) {
  SavedRow saved;
  if (index_ == nullptr || !index_->Find(path, params_, saved.row)) return saved;
  saved.present = true;
  FileStamp now;
  saved.fresh = ReadFileStamp(path, now) && Unchanged(saved.row, now);
  saved.hasSignature =
      saved.row.status == 0 && index_->LoadSignature(saved.row.id, saved.signature);
  return saved;
}

void FileOperations::changeIndex(const std::function<bool()>& change, FileOperationReport& report) {
  if (index_ == nullptr) return;
  if (index_->Begin() && change() && index_->Commit()) return;
  report.indexError = index_->lastError();
  index_->Rollback();
}

void FileOperations::indexMoved(const std::string& from, const std::string& to,
                                const SavedRow& before, FileOperationReport& report) {
  changeIndex(
      [&] {
        if (!index_->RenamePath(from, to)) return false;
        // A move changes the file's change time (and its inode across file
        // systems) but not its pixels: the row stays valid when it was.
        FileStamp now;
        if (!before.fresh || !ReadFileStamp(to, now)) return true;
        return index_->Restamp(before.row.id, now);
      },
      report);
}

void FileOperations::indexCopied(const std::string& to, const SavedRow& original,
                                 FileOperationReport& report) {
  if (!original.fresh) return;  // the next refresh reads the copy
  changeIndex(
      [&] {
        FileStamp now;
        if (!ReadFileStamp(to, now)) return true;
        return index_->Put(to, params_, now, original.row.status,
                           original.hasSignature ? &original.signature : nullptr);
      },
      report);
}

void FileOperations::indexRemoved(const std::string& path, FileOperationReport& report) {
  changeIndex([&] { return index_->Remove(path); }, report);
}

void FileOperations::indexRestored(const std::string& path, const SavedRow& saved,
                                   FileOperationReport& report) {
  if (!saved.present) return;
  changeIndex(
      [&] {
        FileStamp stamp = saved.row.stamp;
        FileStamp now;
        if (saved.fresh && ReadFileStamp(path, now)) stamp = now;
        return index_->Put(path, params_, stamp, saved.row.status,
                           saved.hasSignature ? &saved.signature : nullptr);
      },
      report);
}
