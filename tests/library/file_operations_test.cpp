// File operations on real pictures with a real index: every operation's
// files and rows, Undo included, in a private trash (HOME and XDG_DATA_HOME
// point into the test's folder, so the user's own trash is never touched).
#include "library/file_operations.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "index/file_stamp.h"
#include "library/file_move.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

const char* const kParams = "test";

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class FileOperationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string notice, error;
    ASSERT_TRUE(index.Open(store.file("index.sqlite"), notice, error)) << error;
    ASSERT_EQ(ReadRimSignature(dataPath("golden/rgb_pca_8x8.rim"), signature), status::Success);
    std::filesystem::create_directory(folder());
  }

  std::string folder() const { return home.file("pictures"); }

  // A copy of an example photograph in the folder, indexed as read now.
  std::string picture(const std::string& name, const std::string& example = "aqua.jpg") {
    const std::string path = folder() + "/" + name;
    writeFileBytes(path, readFileBytes(examplesPath(example)));
    FileStamp stamp;
    EXPECT_TRUE(ReadFileStamp(path, stamp));
    EXPECT_TRUE(index.Begin() && index.Put(path, kParams, stamp, 0, &signature) && index.Commit());
    return path;
  }

  // The row of path: present, as fresh as the file and with its signature.
  void expectIndexed(const std::string& path) {
    IndexRow row;
    ASSERT_TRUE(index.Find(path, kParams, row)) << path;
    FileStamp now;
    ASSERT_TRUE(ReadFileStamp(path, now));
    EXPECT_TRUE(row.stamp == now) << path << " would be learned again";
    Signature stored;
    ASSERT_TRUE(index.LoadSignature(row.id, stored));
    EXPECT_EQ(stored.imageWidth, signature.imageWidth);
    EXPECT_EQ(stored.bases.data()[0], signature.bases.data()[0]);
  }

  void expectNotIndexed(const std::string& path) {
    IndexRow row;
    EXPECT_FALSE(index.Find(path, kParams, row)) << path;
  }

  std::string trash() const { return home.file("data/Trash"); }

  TempDir home, store;
  ScopedEnv homeEnv{"HOME", home.path()};
  ScopedEnv dataEnv{"XDG_DATA_HOME", home.file("data")};
  SignatureIndex index;
  Signature signature;
  FileOperations operations{&index, kParams};
};

unsigned long long deviceOf(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? info.st_dev : 0;
}

// Moves within the folder's file system and onto a tmpfs, then back by Undo.
struct MoveCase {
  const char* name;
  bool otherFileSystem;
};

class MoveTest : public FileOperationsTest, public ::testing::WithParamInterface<MoveCase> {};

TEST_P(MoveTest, FileAndRowFollowAndUndoBringsBoth) {
  std::string target = home.file("album");
  if (GetParam().otherFileSystem) {
    if (deviceOf("/dev/shm") == 0 || deviceOf("/dev/shm") == deviceOf(folder()))
      GTEST_SKIP() << "no second file system at /dev/shm";
    target = "/dev/shm/folim-move-" + std::to_string(getpid());
  }
  std::filesystem::create_directory(target);
  const std::string bytes = readFileBytes(examplesPath("storm.jpg"));
  const std::string file = picture("storm.jpg", "storm.jpg");
  IndexRow before;
  ASSERT_TRUE(index.Find(file, kParams, before));

  const FileOperationReport moved = operations.Move({file}, target, nullptr);
  const std::string to = target + "/storm.jpg";
  EXPECT_TRUE(moved.failures.empty()) << moved.failures.front().cause;
  EXPECT_EQ(moved.indexError, "");
  EXPECT_FALSE(PathTaken(file));
  EXPECT_EQ(readFileBytes(to), bytes);
  expectNotIndexed(file);
  expectIndexed(to);
  IndexRow after;
  ASSERT_TRUE(index.Find(to, kParams, after));
  EXPECT_EQ(after.id, before.id) << "the row moves, it is not learned again";

  ASSERT_TRUE(operations.CanUndo());
  const FileOperationReport undone = operations.Undo();
  EXPECT_TRUE(undone.failures.empty());
  EXPECT_EQ(readFileBytes(file), bytes);
  EXPECT_FALSE(PathTaken(to));
  expectIndexed(file);
  expectNotIndexed(to);
  EXPECT_FALSE(operations.CanUndo());
  std::filesystem::remove_all(target);
}

INSTANTIATE_TEST_SUITE_P(FileSystems, MoveTest,
                         ::testing::Values(MoveCase{"SameFileSystem", false},
                                           MoveCase{"OntoTmpfs", true}),
                         [](const auto& tested) { return std::string(tested.param.name); });

// Renaming onto a name that is taken, for every choice the user has.
struct CollisionCase {
  const char* name;
  ConflictChoice choice;
  const char* renamedTo;  // where a.jpg ends up ("" when it stays)
  const char* bInTrash;   // whether b.jpg went to the trash
};

class RenameCollisionTest : public FileOperationsTest,
                            public ::testing::WithParamInterface<CollisionCase> {};

TEST_P(RenameCollisionTest, ChoiceDecides) {
  const std::string a = picture("a.jpg", "aqua.jpg");
  const std::string b = picture("b.jpg", "dune.jpg");
  const std::string aBytes = readFileBytes(a);
  const std::string bBytes = readFileBytes(b);
  std::vector<std::string> asked;
  const FileOperationReport report =
      operations.Rename(a, "b.jpg", [&](const std::string& file, const std::string& existing) {
        asked.push_back(file + " -> " + existing);
        return GetParam().choice;
      });
  EXPECT_EQ(asked, std::vector<std::string>{a + " -> " + b});
  EXPECT_TRUE(report.failures.empty());

  const std::string renamedTo = GetParam().renamedTo;
  if (renamedTo.empty()) {
    EXPECT_EQ(report.skipped, std::vector<std::string>{a});
    EXPECT_EQ(readFileBytes(a), aBytes);
    EXPECT_EQ(readFileBytes(b), bBytes);
    expectIndexed(a);
    EXPECT_FALSE(operations.CanUndo());
    return;
  }
  const std::string to = folder() + "/" + renamedTo;
  EXPECT_EQ(readFileBytes(to), aBytes);
  EXPECT_FALSE(PathTaken(a));
  expectIndexed(to);
  expectNotIndexed(a);
  const std::string bTrashed = trash() + "/files/b.jpg";
  EXPECT_EQ(PathTaken(bTrashed), GetParam().bInTrash == std::string("yes"));
  if (to != b) {
    EXPECT_EQ(readFileBytes(b), bBytes);
  }

  operations.Undo();
  EXPECT_EQ(readFileBytes(a), aBytes);
  EXPECT_EQ(readFileBytes(b), bBytes);
  EXPECT_FALSE(PathTaken(bTrashed));
  expectIndexed(a);
  expectIndexed(b);
  if (to != b) {
    expectNotIndexed(to);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Choices, RenameCollisionTest,
    ::testing::Values(CollisionCase{"Replace", ConflictChoice::Replace, "b.jpg", "yes"},
                      CollisionCase{"KeepBoth", ConflictChoice::KeepBoth, "b (2).jpg", "no"},
                      CollisionCase{"Skip", ConflictChoice::Skip, "", "no"}),
    [](const auto& tested) { return std::string(tested.param.name); });

TEST_F(FileOperationsTest, TrashKeepsARecordLeavesTheIndexAndUndoRestoresTheRow) {
  const std::string a = picture("a.jpg");
  const std::string b = picture("b.jpg", "wood.jpg");
  const FileOperationReport report = operations.Trash({a, b});
  ASSERT_EQ(report.done.size(), 2u);
  EXPECT_EQ(report.done[0].second, trash() + "/files/a.jpg");
  const std::string record = readFileBytes(trash() + "/info/a.jpg.trashinfo");
  EXPECT_TRUE(contains(record, "[Trash Info]")) << record;
  EXPECT_TRUE(contains(record, "Path=" + a)) << record;
  EXPECT_FALSE(PathTaken(a));
  expectNotIndexed(a);
  expectNotIndexed(b);

  const FileOperationReport undone = operations.Undo();
  EXPECT_EQ(undone.done.size(), 2u);
  EXPECT_EQ(readFileBytes(b), readFileBytes(examplesPath("wood.jpg")));
  EXPECT_FALSE(PathTaken(trash() + "/info/a.jpg.trashinfo"));
  EXPECT_FALSE(PathTaken(trash() + "/files/b.jpg"));
  expectIndexed(a);
  expectIndexed(b);
}

TEST_F(FileOperationsTest, CopyCarriesTheSignatureAndLeavesUndoAlone) {
  const std::string a = picture("a.jpg");
  const std::string album = home.file("album");
  std::filesystem::create_directory(album);
  const FileOperationReport report =
      operations.Copy({a, a}, album, [](auto&, auto&) { return ConflictChoice::KeepBoth; });
  EXPECT_EQ(report.done.size(), 2u);
  expectIndexed(a);
  expectIndexed(album + "/a.jpg");
  expectIndexed(album + "/a (2).jpg");
  EXPECT_FALSE(operations.CanUndo());
}

// A copy into the file's own folder: Keep Both makes the copy beside it,
// Replace leaves the file as it is (it would replace itself).
TEST_F(FileOperationsTest, CopyIntoItsOwnFolderNeverReplacesItself) {
  const std::string a = picture("a.jpg");
  const FileOperationReport replaced =
      operations.Copy({a}, folder(), [](auto&, auto&) { return ConflictChoice::Replace; });
  EXPECT_TRUE(replaced.done.empty());
  EXPECT_EQ(replaced.skipped, std::vector<std::string>{a});
  EXPECT_TRUE(replaced.failures.empty());
  expectIndexed(a);
  EXPECT_FALSE(std::filesystem::exists(trash() + "/files/a.jpg"));
  const FileOperationReport kept =
      operations.Copy({a}, folder(), [](auto&, auto&) { return ConflictChoice::KeepBoth; });
  ASSERT_EQ(kept.done.size(), 1u);
  EXPECT_EQ(kept.done[0].second, folder() + "/a (2).jpg");
  expectIndexed(a);
  expectIndexed(folder() + "/a (2).jpg");
}

// A failure names the file and the cause, and the others go on.
struct FailureCase {
  const char* name;
  const char* newName;
  const char* cause;
};

class RenameFailureTest : public FileOperationsTest,
                          public ::testing::WithParamInterface<FailureCase> {};

TEST_P(RenameFailureTest, NamesFileAndCause) {
  const std::string a = picture("a.jpg");
  const FileOperationReport report = operations.Rename(a, GetParam().newName, nullptr);
  ASSERT_EQ(report.failures.size(), 1u);
  EXPECT_EQ(report.failures[0].path, a);
  EXPECT_TRUE(contains(report.failures[0].cause, GetParam().cause)) << report.failures[0].cause;
  expectIndexed(a);
  EXPECT_FALSE(operations.CanUndo());
}

INSTANTIATE_TEST_SUITE_P(Names, RenameFailureTest,
                         ::testing::Values(FailureCase{"Empty", "", "Invalid file name"},
                                           FailureCase{"Parent", "..", "Invalid file name"},
                                           FailureCase{"Slash", "x/y.jpg", "Invalid file name"}),
                         [](const auto& tested) { return std::string(tested.param.name); });

TEST_F(FileOperationsTest, MissingFilesAreNamedAndTheRestIsMoved) {
  const std::string a = picture("a.jpg");
  const std::string missing = folder() + "/gone.jpg";
  const std::string album = home.file("album");
  std::filesystem::create_directory(album);
  const FileOperationReport moved = operations.Move({missing, a}, album, nullptr);
  ASSERT_EQ(moved.failures.size(), 1u);
  EXPECT_EQ(moved.failures[0].path, missing);
  EXPECT_EQ(moved.failures[0].cause, "No such file or directory");
  expectIndexed(album + "/a.jpg");
  const FileOperationReport trashed = operations.Trash({missing});
  ASSERT_EQ(trashed.failures.size(), 1u);
  EXPECT_EQ(trashed.failures[0].path, missing);
  EXPECT_TRUE(operations.CanUndo()) << "a failed trash keeps the move's Undo";
}

TEST_F(FileOperationsTest, ReplacingAFolderIsRefused) {
  const std::string a = picture("a.jpg");
  std::filesystem::create_directory(home.file("album"));
  std::filesystem::create_directory(home.file("album/a.jpg"));
  const FileOperationReport moved = operations.Move(
      {a}, home.file("album"), [](auto&, auto&) { return ConflictChoice::Replace; });
  ASSERT_EQ(moved.failures.size(), 1u);
  EXPECT_EQ(moved.failures[0].path, a);
  EXPECT_TRUE(std::filesystem::is_directory(home.file("album/a.jpg")));
  expectIndexed(a);
}

}  // namespace
