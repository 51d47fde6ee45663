// Writing a file so that it appears whole or not at all: the bytes go to a
// temporary file in the target's folder, which is renamed over the target
// only after everything was written and flushed. The temporary file is also
// removed when SIGINT, SIGTERM or SIGHUP ends the process while it is open
// (unless the program set its own action for that signal).
//
// Only a regular file or a symbolic link at the target is replaced (the link
// itself, never what it points to). A device, FIFO or socket of that name is
// refused and left as it is, both when the file is opened and just before the
// rename; over a folder the rename fails (EISDIR).
#pragma once

#include <cerrno>
#include <cstdio>
#include <string>

namespace platform {

// The errno of a target refused because a device, FIFO or socket has its
// name.
inline constexpr int kTargetNotRegular = EEXIST;

// kTargetNotRegular when a device, FIFO or socket has target's name, else 0.
int targetRefusal(const std::string& target);

// The reason of a failed write with the errno an AtomicFile left: that of
// kTargetNotRegular in words, else the system's text.
std::string writeErrorText(int error);

class AtomicFile {
 public:
  // Who may read the file: everyone the process's creation mask lets (what a
  // plain fopen gives), or only its owner, from the moment it exists.
  enum class Readers { ByCreationMask, OwnerOnly };

  explicit AtomicFile(std::string target, Readers readers = Readers::ByCreationMask);
  ~AtomicFile();  // removes the temporary file unless committed
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the temporary file; false when the folder cannot take it or the
  // target may not be replaced.
  bool open();
  std::FILE* file() const { return file_; }
  // Flushes, closes and renames over the target; false (and the temporary
  // removed, the target untouched) when any of that fails or something that
  // may not be replaced has taken the target's name meanwhile.
  bool commit();
  // Closes and removes the temporary file.
  void discard();

  const std::string& target() const { return target_; }
  const std::string& temporaryPath() const { return temporary_; }
  // The errno of the last failure of open() or commit(), 0 when none.
  int lastError() const { return error_; }

 private:
  std::string target_;
  Readers readers_;
  std::string temporary_;
  std::FILE* file_ = nullptr;
  int slot_ = -1;  // the signal clean-up's entry for the temporary file
  int error_ = 0;
};

}  // namespace platform
