// Bringing the index up to date with a folder: new files are added, changed
// ones (size or modification time) refreshed, vanished ones dropped, and
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

// Makes the signature of one file; called on several threads at once.
using SignatureSource = std::function<Status(const std::string& path, Signature& signature)>;

// done of total files handled (unchanged files count as done at the start).
using RefreshReport = std::function<void(std::size_t done, std::size_t total)>;

struct RefreshCounts {
  std::size_t added = 0;
  std::size_t refreshed = 0;
  std::size_t removed = 0;
  std::size_t failed = 0;  // of the added and refreshed, those that could not be read
  std::size_t unchanged = 0;
  bool interrupted = false;
};

struct RefreshRequest {
  std::string dir;                 // absolute, without a trailing "/"
  bool recursive = false;          // without it, rows in sub-folders are left alone
  std::vector<std::string> files;  // the folder's image files, as listed
  std::string params;              // the parameter set's key
  unsigned jobs = 1;
  const std::atomic<bool>* stop = nullptr;  // set to interrupt
};

// False with error set when the index cannot be written.
bool RefreshFolder(SignatureIndex& index, const RefreshRequest& request,
                   const SignatureSource& source, const RefreshReport& report,
                   RefreshCounts& counts, std::string& error);

// Size and modification time (nanoseconds) of a file; false when it cannot
// be inspected.
bool FileStamp(const std::string& path, std::int64_t& size, std::int64_t& mtime);

// Whether path lies directly in dir (not in a sub-folder).
bool DirectlyIn(const std::string& path, const std::string& dir);
