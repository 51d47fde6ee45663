#include "platform/atomic_file.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <utility>

namespace platform {

namespace {

// The process's file-creation mask. Asking umask() for it means setting it,
// which would let a file another thread creates meanwhile be made with no
// mask at all; the kernel reports it in /proc/self/status instead. Only
// where that line is missing is the mask read (once) the old way.
mode_t creationMask() {
  static mode_t mask = 022;
  static std::once_flag once;
  std::call_once(once, [] {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.rfind("Umask:", 0) == 0) {
        mask = static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
        return;
      }
    }
    mask = umask(022);
    umask(mask);
  });
  return mask;
}

}  // namespace

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::open() {
  discard();
  // The temporary name ends in ".tmp", which no listing takes for an image.
  std::string pattern = target_ + ".XXXXXX.tmp";
  const int fd = mkstemps(&pattern[0], 4);
  if (fd < 0) return false;
  // mkstemps creates the file 0600; give it the permissions a plain fopen
  // would have given, so converted images stay readable by others.
  fchmod(fd, static_cast<mode_t>(0666) & ~creationMask());
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
  // On disk before the rename: after a crash the target holds either its
  // old contents or all of the new ones.
  bool ok = std::fflush(file_) == 0 && std::ferror(file_) == 0 && fsync(fileno(file_)) == 0;
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
