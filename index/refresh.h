// Bringing the index up to date with a folder: new files are added, changed
// ones (any field of their stamp) refreshed, vanished ones dropped, and
// files that could not be read are kept as status rows that are not retried
// until the file changes. Signatures are made on several threads; results
// are written in small transactions, so an interrupted refresh leaves every
// finished file in the index and the next run completes the rest.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "codec/status.h"
#include "index/signature_index.h"

// Makes the signature of one file; called on several threads at once. On a
// failure, cause may tell more than the status (what the image reader said).
using SignatureSource =
    std::function<Status(const std::string& path, Signature& signature, std::string& cause)>;

// done of total files handled (unchanged files count as done at the start).
using RefreshReport = std::function<void(std::size_t done, std::size_t total)>;

// A file of the folder that could not be read.
struct RefreshFailure {
  std::string path;
  Status status = status::Success;
  std::string cause;  // from the source; may be empty
};

struct RefreshCounts {
  std::size_t added = 0;
  std::size_t refreshed = 0;
  std::size_t removed = 0;
  std::size_t failed = 0;  // of the added and refreshed, those that could not be read
  std::size_t unchanged = 0;
  bool interrupted = false;
  std::vector<RefreshFailure> failures;  // the failed ones, in the order they were stored
};

struct RefreshRequest {
  std::string dir;                 // absolute, without a trailing "/"
  bool recursive = false;          // without it, rows in sub-folders are left alone
  std::vector<std::string> files;  // the folder's image files, as listed
  std::string params;              // the parameter set's key
  unsigned jobs = 1;
  bool relearn = false;                     // learn unchanged files again too
  const std::atomic<bool>* stop = nullptr;  // set to interrupt
};

// False with error set when the index cannot be written.
bool RefreshFolder(SignatureIndex& index, const RefreshRequest& request,
                   const SignatureSource& source, const RefreshReport& report,
                   RefreshCounts& counts, std::string& error);

// Whether a file is as the index read it: its whole stamp, or for a row
// carried over from schema 1 its size and modification time.
bool Unchanged(const IndexRow& row, const FileStamp& now);

// Whether path lies directly in dir (not in a sub-folder).
bool DirectlyIn(const std::string& path, const std::string& dir);
