// Refreshing a folder: added, refreshed, removed and failed files, files that
// failed are not retried until they change, an interrupted refresh is
// completed by the next.
#include "index/refresh.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "index_fixture.h"

using testing_support::writeFileBytes;

namespace {

class FolderRefresh : public IndexFixture {
 protected:
  std::vector<std::string> files;
  void SetUp() override {
    for (unsigned i = 0; i < 6; ++i) files.push_back(writeRim("f" + std::to_string(i) + ".rim", i));
    files.push_back(folder.file("broken.rim"));
    writeFileBytes(files.back(), "RF but not a RIM file");
  }
};

TEST_F(FolderRefresh, AddsThenFindsEverythingUnchanged) {
  SignatureIndex index;
  open(index);
  RefreshCounts c = refresh(index, files);
  EXPECT_EQ(c.added, 7u);
  EXPECT_EQ(c.failed, 1u);
  EXPECT_EQ(c.unchanged, 0u);
  EXPECT_EQ(calls, 7u);
  c = refresh(index, files);
  EXPECT_EQ(c.added + c.refreshed + c.removed + c.failed, 0u);
  EXPECT_EQ(c.unchanged, 7u);
  EXPECT_EQ(calls, 7u);  // the broken file is not tried again
  std::vector<IndexRow> rows;
  ASSERT_TRUE(index.RowsUnder(folder.path(), "test", rows));
  ASSERT_EQ(rows.size(), 7u);
  EXPECT_EQ(rows[0].path, folder.file("broken.rim"));
  EXPECT_NE(rows[0].status, 0);
}

TEST_F(FolderRefresh, RefreshesChangedFilesAndDropsVanishedOnes) {
  SignatureIndex index;
  open(index);
  refresh(index, files);
  writeRim("f1.rim", 99, 0, 120);  // other contents, other size
  std::filesystem::remove(files[2]);
  writeFileBytes(files.back(), "still broken, but changed");
  std::vector<std::string> now = files;
  now.erase(now.begin() + 2);
  calls = 0;
  const RefreshCounts c = refresh(index, now);
  EXPECT_EQ(c.refreshed, 2u);
  EXPECT_EQ(c.failed, 1u);
  EXPECT_EQ(c.removed, 1u);
  EXPECT_EQ(c.unchanged, 4u);
  EXPECT_EQ(calls, 2u);
  IndexRow row;
  ASSERT_TRUE(index.Find(files[1], "test", row));
  Signature s;
  ASSERT_TRUE(index.LoadSignature(row.id, s));
  EXPECT_EQ(s.imageWidth, 120u);
  EXPECT_FALSE(index.Find(files[2], "test", row));
}

TEST_F(FolderRefresh, LeavesSubFoldersAloneWithoutRecursion) {
  SignatureIndex index;
  open(index);
  std::filesystem::create_directory(folder.file("sub"));
  std::vector<std::string> all = files;
  all.push_back(writeRim("sub/deep.rim", 40));
  EXPECT_EQ(refresh(index, all, true).added, 8u);
  // The flat listing does not see sub/deep.rim, which stays.
  const RefreshCounts c = refresh(index, files, false);
  EXPECT_EQ(c.removed, 0u);
  IndexRow row;
  EXPECT_TRUE(index.Find(folder.file("sub/deep.rim"), "test", row));
  // The recursive listing without it drops it.
  EXPECT_EQ(refresh(index, files, true).removed, 1u);
}

TEST_F(FolderRefresh, InterruptedKeepsWhatWasDoneAndTheNextRunCompletes) {
  SignatureIndex index;
  open(index);
  std::atomic<bool> stop{false};
  const RefreshCounts first = refresh(index, files, false, &stop, 3, 1);
  EXPECT_TRUE(first.interrupted);
  EXPECT_GE(first.added, 3u);
  EXPECT_LT(first.added, files.size());
  std::vector<IndexRow> rows;
  ASSERT_TRUE(index.RowsUnder(folder.path(), "test", rows));
  EXPECT_EQ(rows.size(), first.added);
  const RefreshCounts second = refresh(index, files);
  EXPECT_FALSE(second.interrupted);
  EXPECT_EQ(second.unchanged, first.added);
  EXPECT_EQ(first.added + second.added, files.size());
}

TEST(DirectlyIn, TellsFilesOfTheFolderFromDeeperOnes) {
  EXPECT_TRUE(DirectlyIn("/a/b.jpg", "/a"));
  EXPECT_FALSE(DirectlyIn("/a/s/b.jpg", "/a"));
  EXPECT_FALSE(DirectlyIn("/ab/c.jpg", "/a"));
  EXPECT_FALSE(DirectlyIn("/a/", "/a"));
}

}  // namespace
