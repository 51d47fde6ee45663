// Library roots: a library mounted at different points on different
// machines is one library, its rows shared by name, on both kinds of index.
#include "index/library_roots.h"

#include <gtest/gtest.h>

#include "index_fixture.h"

namespace {

TEST(RootMap, StoresUnderTheDeepestRootAndReadsBackWhatThisMachineMaps) {
  RootMap roots;
  roots.Set({{"photos", "/mnt/photos"}, {"raw", "/mnt/photos/raw"}});
  const struct {
    const char* path;
    const char* stored;
  } cases[] = {
      {"/mnt/photos/a.jpg", "@photos/a.jpg"},
      {"/mnt/photos/raw/b.jpg", "@raw/b.jpg"},
      {"/mnt/photos", "@photos"},
      {"/mnt/photos2/c.jpg", "/mnt/photos2/c.jpg"},
      {"/mnt/d.jpg", "/mnt/d.jpg"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(roots.ToStored(c.path), c.stored) << c.path;
    std::string back;
    ASSERT_TRUE(roots.FromStored(c.stored, back)) << c.stored;
    EXPECT_EQ(back, c.path);
  }
  std::string path;
  EXPECT_FALSE(roots.FromStored("@elsewhere/e.jpg", path)) << "a root not mapped here";
  EXPECT_EQ(roots.StoredRootsUnder("/mnt"), (std::vector<std::string>{"@photos", "@raw"}));
  EXPECT_EQ(roots.StoredRootsUnder("/mnt/photos"), std::vector<std::string>{"@raw"});
  EXPECT_TRUE(roots.StoredRootsUnder("/mnt/photos/raw").empty());
  EXPECT_TRUE(ValidRootName("nas-photos_2.0"));
  for (const char* bad : {"", "a/b", "a b", "@a", "a=b"}) EXPECT_FALSE(ValidRootName(bad)) << bad;
}

class LibraryRootsBase : public IndexFixture {
 protected:
  // The index as a machine of that name opens it.
  void openAs(SignatureIndex& index, const std::string& host) {
    index.UseHostName(host);
    open(index);
  }
  static std::vector<std::string> pathsUnder(SignatureIndex& index, const std::string& dir) {
    std::vector<IndexRow> rows;
    EXPECT_TRUE(index.RowsUnder(dir, "k", rows));
    std::vector<std::string> paths;
    for (const IndexRow& r : rows) paths.push_back(r.path);
    return paths;
  }
  static std::int64_t idOf(SignatureIndex& index, const std::string& path) {
    IndexRow row;
    return index.Find(path, "k", row) ? row.id : 0;
  }
};
using LibraryRoots = OnBothIndexes<LibraryRootsBase>;
FOLIM_ON_BOTH_INDEXES(LibraryRoots);

TEST_P(LibraryRoots, AnotherMountPointFindsTheSameRows) {
  Signature s = signatureOf(1);
  SignatureIndex nas;
  openAs(nas, "nas");
  ASSERT_TRUE(nas.Begin());
  for (const char* path : {"/mnt/photos/x.jpg", "/mnt/photos/sub/y.jpg", "/other/z.jpg"})
    ASSERT_TRUE(nas.Put(path, "k", stampOf(10, 20), 0, &s));
  ASSERT_TRUE(nas.Put("/mnt/photos/bad.jpg", "k", stampOf(1, 2), 8, nullptr));
  ASSERT_TRUE(nas.Commit());
  const std::int64_t x = idOf(nas, "/mnt/photos/x.jpg");

  // Naming the root carries the rows learned before over to it.
  ASSERT_TRUE(nas.SetRoot({"photos", "/mnt/photos"})) << nas.lastError();
  EXPECT_EQ(idOf(nas, "/mnt/photos/x.jpg"), x);
  EXPECT_EQ(pathsUnder(nas, "/"),
            (std::vector<std::string>{"/mnt/photos/bad.jpg", "/mnt/photos/sub/y.jpg",
                                      "/mnt/photos/x.jpg", "/other/z.jpg"}));

  // Another machine sees none of the library until it names where it lies.
  SignatureIndex desk;
  openAs(desk, "desk");
  EXPECT_EQ(pathsUnder(desk, "/"), std::vector<std::string>{"/other/z.jpg"});
  ASSERT_TRUE(desk.SetRoot({"photos", "/media/nas"})) << desk.lastError();
  EXPECT_EQ(
      pathsUnder(desk, "/media"),
      (std::vector<std::string>{"/media/nas/bad.jpg", "/media/nas/sub/y.jpg", "/media/nas/x.jpg"}));
  EXPECT_EQ(idOf(desk, "/media/nas/x.jpg"), x);
  std::vector<std::string> failed;
  ASSERT_TRUE(desk.FailedUnder("/media/nas", "k", failed));
  EXPECT_EQ(failed, std::vector<std::string>{"/media/nas/bad.jpg"});
  std::vector<CompactRow> compact;
  std::vector<std::int64_t> damaged;
  ASSERT_TRUE(desk.LoadCompact("/", "k", 0, compact, damaged));
  ASSERT_EQ(compact.size(), 3u);
  EXPECT_EQ(compact[0].path, "/media/nas/sub/y.jpg");

  // What one machine writes, the other reads in its own spelling.
  ASSERT_TRUE(desk.Begin());
  ASSERT_TRUE(desk.Put("/media/nas/new.jpg", "k", stampOf(10, 20), 0, &s));
  ASSERT_TRUE(desk.RenamePath("/media/nas/sub/y.jpg", "/media/nas/y.jpg"));
  ASSERT_TRUE(desk.Commit());
  SignatureIndex again;
  openAs(again, "nas");
  ASSERT_EQ(again.roots().size(), 1u) << "each machine keeps its own mapping";
  EXPECT_EQ(again.roots()[0].dir, "/mnt/photos");
  EXPECT_EQ(pathsUnder(again, "/mnt/photos"),
            (std::vector<std::string>{"/mnt/photos/bad.jpg", "/mnt/photos/new.jpg",
                                      "/mnt/photos/x.jpg", "/mnt/photos/y.jpg"}));

  // A root inside a root takes its folder's rows along.
  ASSERT_TRUE(again.SetRoot({"sub", "/mnt/photos/deep"}));
  ASSERT_TRUE(again.Begin());
  ASSERT_TRUE(again.Put("/mnt/photos/deep/d.jpg", "k", stampOf(10, 20), 0, &s));
  ASSERT_TRUE(again.Commit());
  EXPECT_EQ(pathsUnder(again, "/mnt/photos").size(), 5u);
  ASSERT_TRUE(again.SetRoot({"sub", "/mnt/photos/deeper"})) << "a root moved on the same machine";
  EXPECT_EQ(pathsUnder(again, "/mnt/photos/deeper"),
            std::vector<std::string>{"/mnt/photos/deeper/d.jpg"});
}

}  // namespace
