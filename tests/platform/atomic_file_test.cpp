// What the whole-or-nothing writer leaves for others to see while it works
// and after: a temporary no listing takes for an image, and the permissions
// of the process's creation mask; and what it replaces at the target.
#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "support/non_regular_files.h"
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

TEST(AtomicFileVisibility, OwnerOnlyFilesAreNeverReadableByOthers) {
  TempDir dir;
  platform::AtomicFile f(dir.file("private.png"), platform::AtomicFile::Readers::OwnerOnly);
  ASSERT_TRUE(f.open());
  struct stat st {};
  ASSERT_EQ(stat(f.temporaryPath().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_TRUE(f.commit());
  ASSERT_EQ(stat(dir.file("private.png").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
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

// What may stand at the target: a regular file or a link is replaced (the
// link itself, not what it points to); a device, FIFO, socket or folder is
// refused, left as it is, and no temporary stays behind.
class AtomicFileSpecialTarget : public testing::TestWithParam<testing_support::SpecialFile> {
 protected:
  void SetUp() override {
    const std::string why = testing_support::cannotMake(GetParam());
    if (!why.empty()) GTEST_SKIP() << why;
    ASSERT_TRUE(testing_support::makeSpecialFile(target(), GetParam()));
  }
  std::string target() const { return dir.file("out.rim"); }
  bool untouched() const { return testing_support::isSpecialFile(target(), GetParam()); }
  std::size_t entries() const {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++n;
    return n;
  }
  TempDir dir;
};

TEST_P(AtomicFileSpecialTarget, IsRefusedWhenOpened) {
  platform::AtomicFile f(target());
  EXPECT_FALSE(f.open());
  EXPECT_EQ(f.lastError(), platform::kTargetNotRegular);
  EXPECT_EQ(platform::writeErrorText(f.lastError()), "is not a regular file");
  EXPECT_TRUE(untouched());
  EXPECT_EQ(entries(), 1u);
}

TEST_P(AtomicFileSpecialTarget, IsRefusedWhenItAppearsBeforeTheRename) {
  ASSERT_TRUE(std::filesystem::remove(target()));
  platform::AtomicFile f(target());
  ASSERT_TRUE(f.open());
  std::fputs("new", f.file());
  ASSERT_TRUE(testing_support::makeSpecialFile(target(), GetParam()));
  EXPECT_FALSE(f.commit());
  EXPECT_EQ(f.lastError(), platform::kTargetNotRegular);
  EXPECT_TRUE(untouched());
  EXPECT_EQ(entries(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Kinds, AtomicFileSpecialTarget,
                         testing::ValuesIn(testing_support::kSpecialFiles),
                         testing_support::specialFileTestName);

TEST(AtomicFileTarget, FolderStaysAndLinkIsReplacedNotFollowed) {
  TempDir dir;
  std::filesystem::create_directory(dir.file("folder.rim"));
  platform::AtomicFile intoFolder(dir.file("folder.rim"));
  ASSERT_TRUE(intoFolder.open());
  EXPECT_FALSE(intoFolder.commit());
  EXPECT_EQ(intoFolder.lastError(), EISDIR);
  EXPECT_TRUE(std::filesystem::is_empty(dir.file("folder.rim")));

  testing_support::writeFileBytes(dir.file("victim"), "precious");
  std::filesystem::create_symlink("victim", dir.file("link.rim"));
  platform::AtomicFile throughLink(dir.file("link.rim"));
  ASSERT_TRUE(throughLink.open());
  std::fputs("new", throughLink.file());
  ASSERT_TRUE(throughLink.commit());
  EXPECT_EQ(readFileBytes(dir.file("victim")), "precious");
  EXPECT_FALSE(std::filesystem::is_symlink(dir.file("link.rim")));
  EXPECT_EQ(readFileBytes(dir.file("link.rim")), "new");
}
