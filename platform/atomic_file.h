// Writing a file so that it appears whole or not at all: the bytes go to a
// temporary file in the target's folder, which is renamed over the target
// only after everything was written and flushed.
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

 private:
  std::string target_;
  std::string temporary_;
  std::FILE* file_ = nullptr;
};

}  // namespace platform
