#include "platform/atomic_file.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <utility>

namespace platform {

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::open() {
  discard();
  std::string pattern = target_ + ".tmp-XXXXXX";
  const int fd = mkstemp(&pattern[0]);
  if (fd < 0) return false;
  // mkstemp creates the file 0600; give it the permissions a plain fopen
  // would have given, so converted images stay readable by others.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, static_cast<mode_t>(0666) & ~mask);
  file_ = fdopen(fd, "wb");
  if (file_ == nullptr) {
    close(fd);
    std::remove(pattern.c_str());
    return false;
  }
  temporary_ = pattern;
  return true;
}

bool AtomicFile::commit() {
  if (file_ == nullptr) return false;
  bool ok = std::fflush(file_) == 0 && std::ferror(file_) == 0;
  ok = (std::fclose(file_) == 0) && ok;
  file_ = nullptr;
  if (ok) ok = std::rename(temporary_.c_str(), target_.c_str()) == 0;
  if (!ok) std::remove(temporary_.c_str());
  temporary_.clear();
  return ok;
}

void AtomicFile::discard() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!temporary_.empty()) {
    std::remove(temporary_.c_str());
    temporary_.clear();
  }
}

}  // namespace platform
