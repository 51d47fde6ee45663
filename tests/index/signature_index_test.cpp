// The index file: rows by folder, damaged and foreign files moved aside and
// rebuilt, newer schemas left alone, several writers at once.
#include "index/signature_index.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "index/signature_blob.h"
#include "index_fixture.h"

using testing_support::readFileBytes;
using testing_support::writeFileBytes;

namespace {

class SignatureIndexFileBase : public IndexFixture {};
using SignatureIndexFile = OnBothIndexes<SignatureIndexFileBase>;
FOLIM_ON_BOTH_INDEXES(SignatureIndexFile);

// What only a file has: a header, a journal, a place beside it.
class SqliteIndexFile : public IndexFixture {};

TEST_P(SignatureIndexFile, KeepsRowsOfAFolderAndItsSubFoldersOnly) {
  SignatureIndex index;
  open(index);
  Signature s;
  ASSERT_EQ(ReadRimSignature(writeRim("a.rim", 1), s), status::Success);
  ASSERT_TRUE(index.Begin());
  for (const char* path : {"/p/a.jpg", "/p/sub/b.jpg", "/pq/c.jpg", "/p.jpg", "/q/d.jpg"})
    ASSERT_TRUE(index.Put(path, "k", stampOf(10, 20), 0, &s));
  ASSERT_TRUE(index.Put("/p/other.jpg", "other key", stampOf(10, 20), 0, &s));
  ASSERT_TRUE(index.Put("/p/bad.jpg", "k", stampOf(1, 2), 8, nullptr));
  ASSERT_TRUE(index.Commit());

  std::vector<IndexRow> rows;
  ASSERT_TRUE(index.RowsUnder("/p", "k", rows));
  std::vector<std::string> paths;
  for (const IndexRow& r : rows) paths.push_back(r.path);
  EXPECT_EQ(paths, (std::vector<std::string>{"/p/a.jpg", "/p/bad.jpg", "/p/sub/b.jpg"}));
  EXPECT_EQ(rows[1].status, 8);

  IndexRow row;
  ASSERT_TRUE(index.Find("/p/a.jpg", "k", row));
  EXPECT_EQ(row.stamp.size, 10);
  EXPECT_EQ(row.stamp.mtime, 20);
  Signature back;
  ASSERT_TRUE(index.LoadSignature(row.id, back));
  EXPECT_EQ(back.dimension, s.dimension);
  EXPECT_FALSE(index.Find("/p/a.jpg", "other key", row));

  // Compact rows: readable ones of the learning flag only.
  std::vector<CompactRow> compact;
  std::vector<std::int64_t> damaged;
  ASSERT_TRUE(index.LoadCompact("/p", "k", 0, compact, damaged));
  EXPECT_EQ(compact.size(), 2u);
  EXPECT_TRUE(damaged.empty());
  ASSERT_TRUE(index.LoadCompact("/p", "k", 1, compact, damaged));
  EXPECT_TRUE(compact.empty());
}

// Many signatures at once, as a search reads its shortlist: what
// LoadSignature gives each, a missing row and a damaged one not loaded (no
// database error), and copies stored as the same bytes decoded once when
// asked.
TEST_P(SignatureIndexFile, LoadsManySignaturesAndCopiesOnce) {
  SignatureIndex index;
  open(index);
  Signature a, b;
  ASSERT_EQ(ReadRimSignature(writeRim("a.rim", 1), a), status::Success);
  ASSERT_EQ(ReadRimSignature(writeRim("b.rim", 2), b), status::Success);
  ASSERT_TRUE(index.Begin());
  ASSERT_TRUE(index.Put("/p/a.jpg", "k", stampOf(1, 1), 0, &a));
  ASSERT_TRUE(index.Put("/p/b.jpg", "k", stampOf(1, 1), 0, &b));
  ASSERT_TRUE(index.Put("/p/a copy.jpg", "k", stampOf(1, 1), 0, &a));
  ASSERT_TRUE(index.Put("/p/damaged.jpg", "k", stampOf(1, 1), 0, &b));
  ASSERT_TRUE(index.Commit());
  std::vector<std::int64_t> ids;
  for (const char* path : {"/p/a.jpg", "/p/b.jpg", "/p/a copy.jpg"}) {
    IndexRow row;
    ASSERT_TRUE(index.Find(path, "k", row));
    ids.push_back(row.id);
  }
  IndexRow damaged;
  ASSERT_TRUE(index.Find("/p/damaged.jpg", "k", damaged));
  const std::string id = std::to_string(damaged.id);
  runOnIndex("UPDATE signatures SET data = x'0102' WHERE id = " + id,
             "UPDATE folim.signatures SET data = '\\x0102' WHERE id = " + id);
  ids.insert(ids.begin() + 2, damaged.id + 1000);  // missing
  ids.push_back(ids[1]);
  ids.push_back(damaged.id);
  const std::vector<std::uint8_t> bytesA = EncodeSignature(a), bytesB = EncodeSignature(b);

  for (const unsigned threads : {1u, 2u}) {
    std::vector<Signature> all;
    std::vector<char> loaded;
    ASSERT_TRUE(index.LoadSignatures(ids, threads, all, loaded));
    EXPECT_EQ(loaded, (std::vector<char>{1, 1, 0, 1, 1, 0}));
    ASSERT_EQ(all.size(), ids.size());
    for (const std::size_t i : {0, 3}) EXPECT_EQ(EncodeSignature(all[i]), bytesA) << i;
    for (const std::size_t i : {1, 4}) EXPECT_EQ(EncodeSignature(all[i]), bytesB) << i;

    std::vector<std::size_t> same;
    ASSERT_TRUE(index.LoadSignatures(ids, threads, all, loaded, &same));
    EXPECT_EQ(loaded, (std::vector<char>{1, 1, 0, 1, 1, 0}));
    EXPECT_EQ(same, (std::vector<std::size_t>{0, 1, 2, 0, 1, 5}));
    EXPECT_EQ(EncodeSignature(all[0]), bytesA);
    EXPECT_EQ(EncodeSignature(all[1]), bytesB);
  }
  Signature none;
  bool databaseError = true;
  EXPECT_FALSE(index.LoadSignature(damaged.id, none, &databaseError));
  EXPECT_FALSE(databaseError);
}

TEST_P(SignatureIndexFile, TheRootHoldsEveryRowAndARenamedPathKeepsItsRows) {
  SignatureIndex index;
  open(index);
  Signature s;
  ASSERT_EQ(ReadRimSignature(writeRim("a.rim", 1), s), status::Success);
  ASSERT_TRUE(index.Begin());
  for (const char* path : {"/a.jpg", "/p/b.jpg", "/q/r/c.jpg", "/p/d.jpg"})
    ASSERT_TRUE(index.Put(path, "k", stampOf(10, 20), 0, &s));
  ASSERT_TRUE(index.Put("/p/b.jpg", "other key", stampOf(10, 20), 0, &s));
  ASSERT_TRUE(index.Commit());
  const auto pathsUnder = [&](const std::string& dir, const std::string& params) {
    std::vector<IndexRow> rows;
    EXPECT_TRUE(index.RowsUnder(dir, params, rows));
    std::vector<std::string> paths;
    for (const IndexRow& r : rows) paths.push_back(r.path);
    return paths;
  };
  EXPECT_EQ(pathsUnder("/", "k"),
            (std::vector<std::string>{"/a.jpg", "/p/b.jpg", "/p/d.jpg", "/q/r/c.jpg"}));

  // Onto a path that has rows of its own: they make way.
  IndexRow before;
  ASSERT_TRUE(index.Find("/p/b.jpg", "k", before));
  ASSERT_TRUE(index.Begin());
  ASSERT_TRUE(index.RenamePath("/p/b.jpg", "/p/d.jpg"));
  ASSERT_TRUE(index.Commit());
  EXPECT_EQ(pathsUnder("/", "k"), (std::vector<std::string>{"/a.jpg", "/p/d.jpg", "/q/r/c.jpg"}));
  EXPECT_EQ(pathsUnder("/", "other key"), std::vector<std::string>{"/p/d.jpg"});
  IndexRow after;
  ASSERT_TRUE(index.Find("/p/d.jpg", "k", after));
  EXPECT_EQ(after.id, before.id);
  Signature back;
  EXPECT_TRUE(index.LoadSignature(after.id, back));
}

TEST_P(SignatureIndexFile, PathsAreBytes) {
  SignatureIndex index;
  open(index);
  const std::string odd = std::string("/p/caf\xe9\x01 \xff.jpg", 15);
  ASSERT_TRUE(index.Begin());
  ASSERT_TRUE(index.Put(odd, "k", stampOf(1, 1), 8, nullptr));
  ASSERT_TRUE(index.Commit());
  std::vector<IndexRow> rows;
  ASSERT_TRUE(index.RowsUnder("/p", "k", rows));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].path, odd);
}

struct BadFile {
  const char* name;
  std::string (*contents)(const std::string& scratch);
};

std::string foreignDatabase(const std::string& scratch) {
  const std::string path = scratch + "/foreign.db";
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_exec(db, "CREATE TABLE photos (x); INSERT INTO photos VALUES (1)", nullptr, nullptr,
               nullptr);
  sqlite3_close(db);
  return readFileBytes(path);
}

std::string damagedIndex(const std::string& scratch) {
  const std::string path = scratch + "/real.sqlite";
  {
    SignatureIndex index;
    std::string notice, error;
    EXPECT_TRUE(index.Open(path, notice, error));
  }
  std::string bytes = readFileBytes(path);
  // The page header of the first page: garbage where SQLite keeps its format.
  for (std::size_t i = 16; i < 100 && i < bytes.size(); ++i) bytes[i] = '\x5a';
  return bytes;
}

class BadIndexFile : public IndexFixture, public ::testing::WithParamInterface<BadFile> {};

TEST_P(BadIndexFile, IsMovedAsideAndRebuilt) {
  const std::string bytes = GetParam().contents(store.path());
  writeFileBytes(indexFile(), bytes);
  SignatureIndex index;
  std::string notice, error;
  ASSERT_TRUE(index.Open(indexFile(), notice, error)) << error;
  EXPECT_NE(notice.find("damaged"), std::string::npos) << notice;
  EXPECT_EQ(readFileBytes(indexFile() + ".damaged"), bytes);
  // The fresh index works.
  ASSERT_TRUE(index.Begin());
  ASSERT_TRUE(index.Put("/p/a.jpg", "k", stampOf(1, 1), 8, nullptr));
  ASSERT_TRUE(index.Commit());
  IndexRow row;
  EXPECT_TRUE(index.Find("/p/a.jpg", "k", row));
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadIndexFile,
    ::testing::Values(BadFile{"text", [](const std::string&) { return std::string(3000, 'x'); }},
                      BadFile{"foreign_database", foreignDatabase},
                      BadFile{"damaged_header", damagedIndex}),
    [](const ::testing::TestParamInfo<BadFile>& p) { return std::string(p.param.name); });

TEST_F(SqliteIndexFile, ANewerSchemaIsLeftAlone) {
  {
    SignatureIndex index;
    open(index);
  }
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(indexFile().c_str(), &db), SQLITE_OK);
  sqlite3_exec(db, "PRAGMA user_version=99", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  const std::string before = readFileBytes(indexFile());
  SignatureIndex index;
  std::string notice, error;
  EXPECT_FALSE(index.Open(indexFile(), notice, error));
  EXPECT_NE(error.find("newer"), std::string::npos) << error;
  EXPECT_FALSE(std::filesystem::exists(indexFile() + ".damaged"));
}

// Two connections, as two processes would have, write batches at once; the
// lock waits instead of failing and no row is lost.
TEST_P(SignatureIndexFile, TwoWritersThreadsLoseNothing) {
  {
    SignatureIndex index;
    open(index);
  }
  Signature s;
  ASSERT_EQ(ReadRimSignature(writeRim("a.rim", 1), s), status::Success);
  auto writer = [&](const std::string& dir, bool& ok) {
    SignatureIndex index;
    std::string notice, error;
    ok = index.Open(indexFile(), notice, error);
    for (int batch = 0; ok && batch < 20; ++batch) {
      ok = index.Begin();
      for (int i = 0; ok && i < 10; ++i)
        ok = index.Put(dir + "/" + std::to_string(batch * 10 + i) + ".jpg", "k", stampOf(1, 1), 0,
                       &s);
      ok = ok && index.Commit();
    }
  };
  bool ok1 = false, ok2 = false;
  std::thread t1(writer, "/one", std::ref(ok1));
  std::thread t2(writer, "/two", std::ref(ok2));
  t1.join();
  t2.join();
  EXPECT_TRUE(ok1);
  EXPECT_TRUE(ok2);
  SignatureIndex index;
  open(index);
  std::vector<IndexRow> rows;
  ASSERT_TRUE(index.RowsUnder("/one", "k", rows));
  EXPECT_EQ(rows.size(), 200u);
  ASSERT_TRUE(index.RowsUnder("/two", "k", rows));
  EXPECT_EQ(rows.size(), 200u);
}

// Processes starting at once all find no index and make it together: none
// may take the other's half-made file for a damaged one (moving it aside
// loses the rows written to it) or give up on its lock.
TEST_F(SqliteIndexFile, ManyFirstOpensAtOnceShareOneFreshIndex) {
  constexpr int kOpeners = 6;
  for (int round = 0; round < 15; ++round) {
    const std::string file = store.file("fresh" + std::to_string(round) + ".sqlite");
    std::atomic<int> waiting{kOpeners};
    std::vector<std::string> failures(kOpeners);
    auto opener = [&](int k) {
      --waiting;
      while (waiting.load() > 0) std::this_thread::yield();
      // Staggered starts, so that each step of one opener meets every
      // step of another in some round.
      std::this_thread::sleep_for(std::chrono::microseconds((k * 397 + round * 131) % 2000));
      SignatureIndex index;
      std::string notice, error;
      if (!index.Open(file, notice, error))
        failures[k] = "open: " + error;
      else if (!notice.empty())
        failures[k] = "notice: " + notice;
      else if (!index.Begin() ||
               !index.Put("/p/" + std::to_string(k) + ".jpg", "k", stampOf(1, 1), 8, nullptr) ||
               !index.Commit())
        failures[k] = "write: " + index.lastError();
    };
    std::vector<std::thread> threads;
    for (int k = 0; k < kOpeners; ++k) threads.emplace_back(opener, k);
    for (std::thread& t : threads) t.join();
    for (int k = 0; k < kOpeners; ++k) EXPECT_EQ(failures[k], "") << "round " << round;
    EXPECT_FALSE(std::filesystem::exists(file + ".damaged")) << "round " << round;
    SignatureIndex index;
    std::string notice, error;
    ASSERT_TRUE(index.Open(file, notice, error)) << error;
    std::vector<IndexRow> rows;
    ASSERT_TRUE(index.RowsUnder("/p", "k", rows));
    EXPECT_EQ(rows.size(), static_cast<std::size_t>(kOpeners)) << "round " << round;
    if (HasFailure()) break;
  }
}

}  // namespace
