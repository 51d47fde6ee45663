// What the index commands of folim-cli share: where the index lies, opening
// it with a report of damage, folders as the index names them, refreshing a
// folder with a progress line and an interruption by Ctrl-C.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli.h"

#include "imageio/signature_source.h"
#include "index/index_location.h"
#include "index/refresh.h"
#include "index/signature_index.h"
#include "retrieval/color_mode.h"

namespace cli {

// Opens the index (the default one for an empty file or "default"),
// reporting a rebuild on err. A file named by the user is used only when it
// is a Folim index, empty or missing. False after writing the reason to err.
bool openIndex(SignatureIndex& index, const std::string& file, const std::string& prefix,
               std::ostream& err);

// The library roots named with --root NAME=DIR (any number of them), as
// the index keeps them: DIR absolute and normalised. False with the problem
// in problem when one is malformed.
bool parseRoots(const ParsedArgs& args, std::vector<LibraryRoot>& roots, std::string& problem);

// Keeps the roots in the index for this machine (after each DIR is checked
// to be a folder). False after writing the reason to err.
bool keepRoots(SignatureIndex& index, const std::vector<LibraryRoot>& roots,
               const std::string& prefix, std::ostream& err);

// After a step failed on an index SQLite found damaged: keeps the file
// aside and makes it afresh, reported on err. False after writing the
// reason to err.
bool rebuildDamagedIndex(SignatureIndex& index, const std::string& prefix, std::ostream& err);

// Why a picture could not be indexed, as a failure list says it.
std::string failureCause(const RefreshFailure& failure);

// The number of worker threads: all cores unless told otherwise.
unsigned defaultJobs();

// The measure a name stands for: block, histogram, csd, and with robustToo
// robust; none for any other name.
std::optional<ColorMode> measureNamed(const std::string& name, bool robustToo);

// A refresh as the terminal shows it: while one runs (Start to End) Ctrl-C
// asks it to stop after the files in work, which are kept, and a progress
// line goes to err when it is standard error on a terminal.
class RefreshConsole {
 public:
  RefreshConsole(std::ostream& err, std::string prefix);
  ~RefreshConsole();
  RefreshConsole(const RefreshConsole&) = delete;
  RefreshConsole& operator=(const RefreshConsole&) = delete;

  void Start();
  void Report(std::size_t done, std::size_t total);
  // Ends the line drawn and gives Ctrl-C back; nothing when no refresh runs.
  void End();
  // Each picture that failed and why, as the batch conversions list them.
  void ListFailures(const RefreshCounts& counts);
  const std::atomic<bool>* stopFlag() const;

 private:
  class InterruptGuard;
  std::ostream& err_;
  const std::string prefix_;
  const bool terminal_;
  std::unique_ptr<InterruptGuard> guard_;
  std::chrono::steady_clock::time_point start_, lastDraw_;
  std::size_t firstDone_ = 0;
  bool firstSeen_ = false, drawn_ = false;
};

// Lists the image files of folder (absolute) and brings the index up to
// date with them. A progress line goes to standard error when it is a
// terminal; Ctrl-C stops the refresh after the files in work, which are
// kept. Each picture that failed is listed on err with its cause. An index
// found damaged is rebuilt and the folder refreshed once more. With
// relearn, unchanged pictures are learned again too. False after writing the
// reason to err.
bool refreshIndexedFolder(SignatureIndex& index, const std::string& folder, bool recursive,
                          unsigned jobs, const SignatureParameters& parameters,
                          const std::string& prefix, std::ostream& err, RefreshCounts& counts,
                          bool relearn = false);

}  // namespace cli
