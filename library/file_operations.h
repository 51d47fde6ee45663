// File operations on the pictures of a library that keep the signature index
// true at once: a moved or renamed file keeps its row (what was learned of it
// follows it to the new path), a copy gets the original's signature, a
// trashed file leaves the index. The last move, rename or trash can be
// undone, index rows included. Nothing here replaces a file: a file in the
// way is reported to the caller, who chooses; a replaced file goes to the
// trash, and comes back on Undo.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "index/signature_index.h"
#include "library/trash.h"
#include "retrieval/signature.h"

// What to do when the target name is taken.
enum class ConflictChoice { Replace, KeepBoth, Skip };

// Asked once for each file whose target is taken: the file and what is in
// the way.
using ConflictResolver =
    std::function<ConflictChoice(const std::string& file, const std::string& existing)>;

struct FileFailure {
  std::string path;   // the file that could not be handled
  std::string cause;  // in the system's words
};

struct FileOperationReport {
  std::vector<std::pair<std::string, std::string>> done;  // from, to (the trash for Trash)
  std::vector<std::string> skipped;
  std::vector<FileFailure> failures;
  // The files went where they were sent but the index could not follow
  // (its words); the next refresh mends it.
  std::string indexError;
};

class FileOperations {
 public:
  // index may be null (the files alone are handled); params is the key of
  // the parameter set whose rows follow copies and are restored by Undo.
  FileOperations(SignatureIndex* index, std::string params);

  FileOperationReport Copy(const std::vector<std::string>& files, const std::string& folder,
                           const ConflictResolver& resolve);
  FileOperationReport Move(const std::vector<std::string>& files, const std::string& folder,
                           const ConflictResolver& resolve);
  // A new last component for file; a name that is empty, ".", ".." or holds
  // a "/" is a failure.
  FileOperationReport Rename(const std::string& file, const std::string& newName,
                             const ConflictResolver& resolve);
  FileOperationReport Trash(const std::vector<std::string>& files);

  // Whether a move, rename or trash can be undone, and takes it back (the
  // steps in reverse order). Undo can be undone by nothing.
  bool CanUndo() const { return !undo_.empty(); }
  FileOperationReport Undo();

 private:
  // What the index held of one file, to put back after Undo.
  struct SavedRow {
    bool present = false;
    bool fresh = false;  // the row was read from the file as it is
    IndexRow row;
    bool hasSignature = false;
    Signature signature;
  };
  // One step of an operation: a move from one path to another, or a file
  // sent to the trash (with its index row).
  struct Step {
    bool trashed = false;
    std::string from, to;
    TrashedFile trash;
    SavedRow saved;
  };

  enum class Kind { Copy, Move };
  FileOperationReport transfer(Kind kind, const std::vector<std::string>& files,
                               const std::string& folder, const ConflictResolver& resolve);
  // Places file at target: the conflict settled, then moved or copied.
  // False when it was skipped or failed (the report says which).
  bool place(Kind kind, const std::string& file, std::string target,
             const ConflictResolver& resolve, std::vector<Step>& steps,
             FileOperationReport& report);
  bool trashOne(const std::string& file, std::vector<Step>& steps, FileOperationReport& report);

  SavedRow save(const std::string& path);
  void indexMoved(const std::string& from, const std::string& to, const SavedRow& before,
                  FileOperationReport& report);
  void indexCopied(const std::string& to, const SavedRow& original, FileOperationReport& report);
  void indexRemoved(const std::string& path, FileOperationReport& report);
  void indexRestored(const std::string& path, const SavedRow& saved, FileOperationReport& report);
  // Runs one change of the index in a transaction; its failure is noted in
  // the report.
  void changeIndex(const std::function<bool()>& change, FileOperationReport& report);

  SignatureIndex* index_;
  std::string params_;
  std::vector<Step> undo_;
};
