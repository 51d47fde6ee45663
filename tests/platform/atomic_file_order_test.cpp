// The order of the whole-or-nothing writer's system calls, seen through
// fsync and rename replaced in this test program: the new bytes reach the
// disk before the temporary takes the target's name, and a flush the disk
// refuses leaves the old target in place.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "support/test_support.h"

using testing_support::readFileBytes;
using testing_support::TempDir;
using testing_support::writeFileBytes;

namespace {

// What the replaced calls saw while a recorder was installed.
struct CallRecorder {
  std::vector<std::string> calls;  // "fsync" or "rename FROM -> TO"
  ino_t syncedInode = 0;           // the file that was flushed
  off_t syncedSize = -1;           // and its size at that moment
  int fsyncError = 0;              // errno to fail fsync with; 0 lets it run
};

std::atomic<CallRecorder*> recorder{nullptr};

// Installs a recorder for the lifetime of the object.
class RecordCalls {
 public:
  explicit RecordCalls(CallRecorder& r) { recorder.store(&r); }
  ~RecordCalls() { recorder.store(nullptr); }
  RecordCalls(const RecordCalls&) = delete;
  RecordCalls& operator=(const RecordCalls&) = delete;
};

}  // namespace

// These definitions take the place of the C library's for every object
// linked into this program; without a recorder they do the real work.
extern "C" int fsync(int fd) {
  CallRecorder* r = recorder.load();
  if (r != nullptr) {
    r->calls.push_back("fsync");
    struct stat st {};
    if (fstat(fd, &st) == 0) {
      r->syncedInode = st.st_ino;
      r->syncedSize = st.st_size;
    }
    if (r->fsyncError != 0) {
      errno = r->fsyncError;
      return -1;
    }
  }
  return static_cast<int>(syscall(SYS_fsync, fd));
}

extern "C" int rename(const char* from, const char* to) noexcept {
  CallRecorder* r = recorder.load();
  if (r != nullptr) r->calls.push_back(std::string("rename ") + from + " -> " + to);
  return renameat(AT_FDCWD, from, AT_FDCWD, to);
}

TEST(AtomicFileOrder, FlushesTheWholeTemporaryBeforeRenaming) {
  TempDir dir;
  writeFileBytes(dir.file("t.rim"), "old");
  platform::AtomicFile f(dir.file("t.rim"));
  ASSERT_TRUE(f.open());
  const std::string temporary = f.temporaryPath();
  std::fputs("new bytes", f.file());
  CallRecorder calls;
  {
    RecordCalls recording(calls);
    ASSERT_TRUE(f.commit());
  }
  EXPECT_EQ(calls.calls, (std::vector<std::string>{
                             "fsync", "rename " + temporary + " -> " + dir.file("t.rim")}));
  // The flushed file is the one now under the target's name, and it held
  // every byte when it was flushed.
  struct stat st {};
  ASSERT_EQ(stat(dir.file("t.rim").c_str(), &st), 0);
  EXPECT_EQ(calls.syncedInode, st.st_ino);
  EXPECT_EQ(calls.syncedSize, 9);
  EXPECT_EQ(readFileBytes(dir.file("t.rim")), "new bytes");
}

TEST(AtomicFileOrder, FailedFlushKeepsTheOldTargetAndFails) {
  TempDir dir;
  writeFileBytes(dir.file("t.rim"), "old");
  platform::AtomicFile f(dir.file("t.rim"));
  ASSERT_TRUE(f.open());
  const std::string temporary = f.temporaryPath();
  std::fputs("new bytes", f.file());
  CallRecorder calls;
  calls.fsyncError = EIO;
  {
    RecordCalls recording(calls);
    EXPECT_FALSE(f.commit());
  }
  EXPECT_EQ(calls.calls, std::vector<std::string>{"fsync"});
  EXPECT_EQ(readFileBytes(dir.file("t.rim")), "old");
  EXPECT_FALSE(std::filesystem::exists(temporary));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
}
