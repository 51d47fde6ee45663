// Refreshing a folder: added, refreshed, removed and failed files, files that
// failed are not retried until they change, an interrupted refresh is
// completed by the next, any time a file system stores, files rewritten
// behind the same modification time.
#include "index/refresh.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "index/signature_blob.h"
#include "index_fixture.h"
#include "support/index_sql.h"

using testing_support::readFileBytes;
using testing_support::writeFileBytes;

namespace {

class FolderRefreshBase : public IndexFixture {
 protected:
  std::vector<std::string> files;
  void SetUp() override {
    IndexFixture::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    for (unsigned i = 0; i < 6; ++i) files.push_back(writeRim("f" + std::to_string(i) + ".rim", i));
    files.push_back(folder.file("broken.rim"));
    writeFileBytes(files.back(), "RF but not a RIM file");
  }
};
using FolderRefresh = OnBothIndexes<FolderRefreshBase>;
FOLIM_ON_BOTH_INDEXES(FolderRefresh);

TEST_P(FolderRefresh, AddsThenFindsEverythingUnchanged) {
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

TEST_P(FolderRefresh, RefreshesChangedFilesAndDropsVanishedOnes) {
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

TEST_P(FolderRefresh, LeavesSubFoldersAloneWithoutRecursion) {
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

TEST_P(FolderRefresh, InterruptedKeepsWhatWasDoneAndTheNextRunCompletes) {
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

// Seconds since 1970 of midnight, 1 January of a year (proleptic Gregorian).
std::int64_t startOfYear(std::int64_t year) {
  std::int64_t days = 0;
  auto leap = [](std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; };
  for (std::int64_t y = 1970; y < year; ++y) days += leap(y) ? 366 : 365;
  for (std::int64_t y = year; y < 1970; ++y) days -= leap(y) ? 366 : 365;
  return days * 86400;
}

void setModificationTime(const std::string& path, std::int64_t seconds, long nanoseconds) {
  struct timespec times[2];
  times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(seconds);
  times[0].tv_nsec = times[1].tv_nsec = nanoseconds;
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

// Modification times the file system may hold however far from 1970 (it
// clamps what it cannot store: ext4 keeps 1901 to 2446, tmpfs any year):
// files are indexed, found unchanged, and refreshed when their time moves.
class FarTimes : public IndexFixture, public ::testing::WithParamInterface<std::int64_t> {};

TEST_P(FarTimes, AreIndexedComparedAndRefreshed) {
  const std::string path = writeRim("far.rim", 1);
  setModificationTime(path, startOfYear(GetParam()), 123456789);
  FileStamp stamp;
  ASSERT_TRUE(ReadFileStamp(path, stamp));
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(stamp.mtime, static_cast<std::int64_t>(info.st_mtim.tv_sec));
  EXPECT_EQ(stamp.mtimeNsec, static_cast<std::int64_t>(info.st_mtim.tv_nsec));

  SignatureIndex index;
  open(index);
  RefreshCounts c = refresh(index, {path});
  EXPECT_EQ(c.added, 1u);
  EXPECT_EQ(c.failed, 0u);
  c = refresh(index, {path});
  EXPECT_EQ(c.unchanged, 1u);
  IndexRow row;
  ASSERT_TRUE(index.Find(path, "test", row));
  EXPECT_EQ(row.stamp, stamp);
  setModificationTime(path, startOfYear(GetParam()) + 86400, 5);
  EXPECT_EQ(refresh(index, {path}).refreshed, 1u);
}

INSTANTIATE_TEST_SUITE_P(Years, FarTimes, ::testing::Values(1000, 1960, 2300, 2500, 9999),
                         [](const ::testing::TestParamInfo<std::int64_t>& p) {
                           return "year_" + std::to_string(p.param);
                         });

// A file rewritten behind its old modification time (as `touch -r` leaves
// it): by a file of the same size, whose change time and, when it is a new
// file, inode tell; or by one of another size, which its size tells, also
// for a row carried over from schema 1 that knows only the size and the time.
struct Rewrite {
  const char* name;
  bool newInode;   // renamed over the old one, or written into it
  bool sameSize;   // padded to the old size
  bool schemaOne;  // the row keeps only the size and the time
};

class RewrittenBehindItsTime : public IndexFixture,
                               public ::testing::WithParamInterface<Rewrite> {};

TEST_P(RewrittenBehindItsTime, IsLearnedAgain) {
  const Rewrite& rewrite = GetParam();
  const std::string a = writeRim("a.rim", 1), b = writeRim("b.rim", 2, 0, 120);
  std::string bytesA = readFileBytes(a), bytesB = readFileBytes(b);
  ASSERT_NE(bytesA, bytesB);
  if (rewrite.sameSize) {
    // Trailing bytes after the last section are not read.
    const std::size_t size = std::max(bytesA.size(), bytesB.size());
    bytesA.resize(size, '\0');
    bytesB.resize(size, '\0');
    writeFileBytes(a, bytesA);
  }
  setModificationTime(a, 1600000000, 0);
  SignatureIndex index;
  open(index);
  ASSERT_EQ(refresh(index, {a}).added, 1u);
  if (rewrite.schemaOne)
    testing_support::sql(indexFile(),
                         "UPDATE entries SET ctime = NULL, ctime_ns = NULL, inode = NULL");
  IndexRow before;
  ASSERT_TRUE(index.Find(a, "test", before));
  ASSERT_EQ(before.status, 0);
  ASSERT_EQ(before.wholeStamp, !rewrite.schemaOne);

  if (rewrite.newInode) {
    writeFileBytes(b, bytesB);
    std::filesystem::rename(b, a);
  } else {
    writeFileBytes(a, bytesB);
  }
  setModificationTime(a, before.stamp.mtime, static_cast<long>(before.stamp.mtimeNsec));
  FileStamp now;
  ASSERT_TRUE(ReadFileStamp(a, now));
  ASSERT_EQ(now.mtime, before.stamp.mtime);
  ASSERT_EQ(now.mtimeNsec, before.stamp.mtimeNsec);
  ASSERT_EQ(now.sameSizeAndTime(before.stamp), rewrite.sameSize);

  const RefreshCounts c = refresh(index, {a});
  EXPECT_EQ(c.refreshed, 1u);
  Signature stored, fromFile;
  IndexRow after;
  ASSERT_TRUE(index.Find(a, "test", after));
  ASSERT_TRUE(index.LoadSignature(after.id, stored));
  ASSERT_EQ(ReadRimSignature(a, fromFile), status::Success);
  EXPECT_EQ(EncodeSignature(stored), EncodeSignature(fromFile));
}

INSTANTIATE_TEST_SUITE_P(
    Ways, RewrittenBehindItsTime,
    ::testing::Values(Rewrite{"same_size_renamed_over", true, true, false},
                      Rewrite{"same_size_written_in_place", false, true, false},
                      Rewrite{"other_size_written_in_place", false, false, false},
                      Rewrite{"other_size_schema_one_row", false, false, true}),
    [](const ::testing::TestParamInfo<Rewrite>& p) { return std::string(p.param.name); });

// What the source says of a failure is kept with the failure.
TEST_P(FolderRefresh, ListsEachFailureWithItsStatusAndCause) {
  SignatureIndex index;
  open(index);
  RefreshRequest request;
  request.dir = folder.path();
  request.files = files;
  request.params = "test";
  SignatureSource source = [](const std::string& path, Signature& s, std::string& cause) {
    const Status st = ReadRimSignature(path, s);
    if (st != status::Success) cause = "what the reader said";
    return st;
  };
  RefreshCounts counts;
  std::string error;
  ASSERT_TRUE(RefreshFolder(index, request, source, {}, counts, error)) << error;
  ASSERT_EQ(counts.failures.size(), 1u);
  EXPECT_EQ(counts.failures[0].path, folder.file("broken.rim"));
  EXPECT_NE(counts.failures[0].status, status::Success);
  EXPECT_EQ(counts.failures[0].cause, "what the reader said");
}

}  // namespace
