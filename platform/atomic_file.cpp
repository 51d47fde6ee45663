#include "platform/atomic_file.h"

#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
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

// The temporary files being written, for the signal handler to remove: an
// interrupted conversion must not leave NAME.XXXXXX.tmp behind. Slots are
// claimed without locks so that the handler only reads finished entries.
struct TemporarySlot {
  std::atomic<int> state{0};  // 0 free, 1 being filled or emptied, 2 live
  char path[PATH_MAX]{};      // initialised, so that the table needs no code at start-up
};
constexpr int kTemporarySlots = 64;
TemporarySlot temporarySlots[kTemporarySlots];

extern "C" void removeTemporariesAndDie(int signalNumber) {
  const int savedErrno = errno;
  for (TemporarySlot& slot : temporarySlots)
    if (slot.state.load() == 2) ::unlink(slot.path);
  errno = savedErrno;
  // The handler was reset to the default action on entry: the signal raised
  // again ends the process as it would have ended without us.
  ::raise(signalNumber);
}

// Installed once, and only for signals whose action is still the default:
// a program that handles or ignores them keeps its choice.
void installSignalCleanup() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
      struct sigaction previous {};
      if (::sigaction(signalNumber, nullptr, &previous) != 0) continue;
      if ((previous.sa_flags & SA_SIGINFO) != 0 || previous.sa_handler != SIG_DFL) continue;
      struct sigaction action {};
      action.sa_handler = removeTemporariesAndDie;
      sigemptyset(&action.sa_mask);
      action.sa_flags = SA_RESETHAND;
      ::sigaction(signalNumber, &action, nullptr);
    }
  });
}

int claimTemporarySlot(const std::string& path) {
  if (path.size() >= PATH_MAX) return -1;
  for (int i = 0; i < kTemporarySlots; ++i) {
    int expected = 0;
    if (!temporarySlots[i].state.compare_exchange_strong(expected, 1)) continue;
    std::memcpy(temporarySlots[i].path, path.c_str(), path.size() + 1);
    temporarySlots[i].state.store(2);
    return i;
  }
  return -1;  // more writers than slots: this one is not cleaned on a signal
}

void releaseTemporarySlot(int slot) {
  if (slot < 0) return;
  temporarySlots[slot].state.store(1);
  temporarySlots[slot].state.store(0);
}

// NAME.XXXXXX.tmp beside the target, its name shortened when the target's
// name leaves no room for the suffix within the file system's name limit.
std::string temporaryPattern(const std::string& target) {
  constexpr std::size_t kSuffix = sizeof(".XXXXXX.tmp") - 1;
  constexpr std::size_t kNameMax = NAME_MAX;
  const std::size_t slash = target.find_last_of('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  std::string pattern = target;
  if (target.size() - nameStart + kSuffix > kNameMax)
    pattern.resize(nameStart + kNameMax - kSuffix);
  return pattern + ".XXXXXX.tmp";
}

}  // namespace

int targetRefusal(const std::string& target) {
  // Renaming over a device node would take it from the system, and what is
  // meant for a FIFO or socket would never reach it.
  // A folder makes the rename fail by itself.
  struct stat info {};
  if (::lstat(target.c_str(), &info) != 0) return 0;
  if (S_ISREG(info.st_mode) || S_ISLNK(info.st_mode) || S_ISDIR(info.st_mode)) return 0;
  return kTargetNotRegular;
}

std::string writeErrorText(int error) {
  if (error == kTargetNotRegular) return "is not a regular file";
  return std::strerror(error);
}

AtomicFile::AtomicFile(std::string target, Readers readers)
    : target_(std::move(target)), readers_(readers) {}

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::open() {
  discard();
  error_ = targetRefusal(target_);
  if (error_ != 0) {
    errno = error_;
    return false;
  }
  installSignalCleanup();
  // The temporary name ends in ".tmp", which no listing takes for an image.
  std::string pattern = temporaryPattern(target_);
  const int fd = mkstemps(&pattern[0], 4);
  if (fd < 0) {
    error_ = errno;
    return false;
  }
  slot_ = claimTemporarySlot(pattern);
  // mkstemps creates the file 0600; give it the permissions a plain fopen
  // would have given, so converted images stay readable by others.
  if (readers_ == Readers::ByCreationMask) fchmod(fd, static_cast<mode_t>(0666) & ~creationMask());
  file_ = fdopen(fd, "wb");
  if (file_ == nullptr) {
    error_ = errno;
    close(fd);
    std::remove(pattern.c_str());
    releaseTemporarySlot(slot_);
    slot_ = -1;
    errno = error_;
    return false;
  }
  temporary_ = pattern;
  return true;
}

bool AtomicFile::commit() {
  if (file_ == nullptr) return false;
  // On disk before the rename: after a crash the target holds either its
  // old contents or all of the new ones.
  errno = 0;
  bool ok = std::fflush(file_) == 0 && std::ferror(file_) == 0 && fsync(fileno(file_)) == 0;
  if (!ok) error_ = errno != 0 ? errno : EIO;
  if (std::fclose(file_) != 0 && ok) {
    ok = false;
    error_ = errno;
  }
  file_ = nullptr;
  // Checked again: the target may have been swapped since open().
  if (ok) {
    error_ = targetRefusal(target_);
    ok = error_ == 0;
  }
  if (ok && std::rename(temporary_.c_str(), target_.c_str()) != 0) {
    ok = false;
    error_ = errno;
  }
  if (!ok) std::remove(temporary_.c_str());
  temporary_.clear();
  releaseTemporarySlot(slot_);
  slot_ = -1;
  // The cause of the failure, not that of the clean-up, is what callers read.
  if (!ok) errno = error_;
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
  releaseTemporarySlot(slot_);
  slot_ = -1;
}

}  // namespace platform
