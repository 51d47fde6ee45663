// What the whole-or-nothing writer leaves for others to see while it works
// and after: a temporary no listing takes for an image, and the permissions
// of the process's creation mask.
#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "support/test_support.h"

using testing_support::readFileBytes;
using testing_support::TempDir;

TEST(AtomicFileVisibility, TemporaryIsBesideTheTargetAndEndsInTmp) {
  TempDir dir;
  platform::AtomicFile f(dir.file("a.rim"));
  ASSERT_TRUE(f.open());
  const std::string temporary = f.temporaryPath();
  EXPECT_EQ(temporary.rfind(dir.file("a.rim."), 0), 0u) << temporary;
  EXPECT_EQ(temporary.substr(temporary.size() - 4), ".tmp");
  EXPECT_TRUE(std::filesystem::exists(temporary));
  EXPECT_FALSE(std::filesystem::exists(dir.file("a.rim")));
  std::fputs("whole", f.file());
  ASSERT_TRUE(f.commit());
  EXPECT_FALSE(std::filesystem::exists(temporary));
  EXPECT_EQ(readFileBytes(dir.file("a.rim")), "whole");
}

TEST(AtomicFileVisibility, PermissionsFollowTheCreationMask) {
  TempDir dir;
  // The mask is read once per process; whatever it is, the file gets the
  // permissions fopen would have given it.
  const mode_t mask = umask(022);
  umask(mask);
  platform::AtomicFile f(dir.file("p.bmp"));
  ASSERT_TRUE(f.open());
  ASSERT_TRUE(f.commit());
  struct stat st {};
  ASSERT_EQ(stat(dir.file("p.bmp").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
}

TEST(AtomicFileVisibility, FailedCommitKeepsTheOldTarget) {
  TempDir dir;
  testing_support::writeFileBytes(dir.file("keep.rim"), "old");
  platform::AtomicFile f(dir.file("keep.rim"));
  ASSERT_TRUE(f.open());
  std::fputs("new", f.file());
  // The temporary disappears under the writer: the rename fails.
  const std::string temporary = f.temporaryPath();
  std::filesystem::rename(temporary, dir.file("moved.tmp"));
  EXPECT_FALSE(f.commit());
  EXPECT_EQ(readFileBytes(dir.file("keep.rim")), "old");
}
