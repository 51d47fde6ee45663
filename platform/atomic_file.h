// Writing a file so that it appears whole or not at all: the bytes go to a
// temporary file in the target's folder, which is renamed over the target
// only after everything was written and flushed. The temporary file is also
// removed when SIGINT, SIGTERM or SIGHUP ends the process while it is open
// (unless the program set its own action for that signal).
#pragma once

#include <cstdio>
#include <string>

namespace platform {

class AtomicFile {
 public:
  explicit AtomicFile(std::string target);
  ~AtomicFile();  // removes the temporary file unless committed
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the temporary file; false when the folder cannot take it.
  bool open();
  std::FILE* file() const { return file_; }
  // Flushes, closes and renames over the target; false (and the temporary
  // removed, the target untouched) when any of that fails.
  bool commit();
  // Closes and removes the temporary file.
  void discard();

  const std::string& target() const { return target_; }
  const std::string& temporaryPath() const { return temporary_; }
  // The errno of the last failure of open() or commit(), 0 when none.
  int lastError() const { return error_; }

 private:
  std::string target_;
  std::string temporary_;
  std::FILE* file_ = nullptr;
  int slot_ = -1;  // the signal clean-up's entry for the temporary file
  int error_ = 0;
};

}  // namespace platform
