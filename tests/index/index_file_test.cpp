// The index file on disk: files of schema 1 migrated in one transaction
// without learning again, files the user named used only when they are a
// Folim index, private folders and files, damage found after opening.
#include "index/index_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>

#include "index/signature_blob.h"
#include "index_fixture.h"
#include "support/index_sql.h"

using testing_support::modeOf;
using testing_support::readFileBytes;
using testing_support::sql;
using testing_support::writeFileBytes;

namespace {

namespace fs = std::filesystem;

int userVersion(const std::string& file) {
  sqlite3* db = nullptr;
  int version = -1;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &s, nullptr);
    if (sqlite3_step(s) == SQLITE_ROW) version = sqlite3_column_int(s, 0);
    sqlite3_finalize(s);
  }
  sqlite3_close(db);
  return version;
}

// A blob as the first version wrote it: no checksum, magic "FSG1" or "FSC1".
std::vector<std::uint8_t> firstVersion(std::vector<std::uint8_t> blob) {
  blob.resize(blob.size() - 4);
  blob[3] = '1';
  return blob;
}

// The modification time as schema 1 kept it: nanoseconds of the file clock.
std::int64_t schemaOneTime(const std::string& path) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             fs::last_write_time(path).time_since_epoch())
      .count();
}

void setTime(const std::string& path, std::int64_t seconds, long nanoseconds) {
  struct timespec times[2];
  times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(seconds);
  times[0].tv_nsec = times[1].tv_nsec = nanoseconds;
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class SchemaOneIndex : public IndexFixture {
 protected:
  // An index as the first schema made it, with one row per file in its
  // own format; extra runs after the tables are made.
  void makeSchemaOne(const std::vector<std::string>& paths, const char* extra = "") {
    sql(indexFile(),
        "CREATE TABLE entries (id INTEGER PRIMARY KEY, path BLOB NOT NULL, params TEXT NOT NULL,"
        " size INTEGER NOT NULL, mtime INTEGER NOT NULL, status INTEGER NOT NULL,"
        " learning INTEGER NOT NULL DEFAULT 0, compact BLOB, UNIQUE (path, params));"
        "CREATE TABLE signatures (id INTEGER PRIMARY KEY, data BLOB NOT NULL);"
        "PRAGMA application_id=1181707369; PRAGMA user_version=1;");
    sql(indexFile(), extra);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(indexFile().c_str(), &db), SQLITE_OK);
    for (std::size_t i = 0; i < paths.size(); ++i) {
      Signature s;
      ASSERT_EQ(ReadRimSignature(paths[i], s), status::Success);
      const std::vector<std::uint8_t> compact = firstVersion(EncodeCompact(MakeCompact(s)));
      const std::vector<std::uint8_t> whole = firstVersion(EncodePlainSignature(s));
      sqlite3_stmt* st = nullptr;
      sqlite3_prepare_v2(db,
                         "INSERT INTO entries (id, path, params, size, mtime, status, learning,"
                         " compact) VALUES (?1, ?2, 'test', ?3, ?4, 0, 0, ?5)",
                         -1, &st, nullptr);
      sqlite3_bind_int64(st, 1, static_cast<sqlite3_int64>(i + 1));
      sqlite3_bind_blob(st, 2, paths[i].data(), static_cast<int>(paths[i].size()),
                        SQLITE_TRANSIENT);
      sqlite3_bind_int64(st, 3, static_cast<sqlite3_int64>(fs::file_size(paths[i])));
      sqlite3_bind_int64(st, 4, schemaOneTime(paths[i]));
      sqlite3_bind_blob(st, 5, compact.data(), static_cast<int>(compact.size()), SQLITE_TRANSIENT);
      ASSERT_EQ(sqlite3_step(st), SQLITE_DONE);
      sqlite3_finalize(st);
      sqlite3_prepare_v2(db, "INSERT INTO signatures (id, data) VALUES (?1, ?2)", -1, &st, nullptr);
      sqlite3_bind_int64(st, 1, static_cast<sqlite3_int64>(i + 1));
      sqlite3_bind_blob(st, 2, whole.data(), static_cast<int>(whole.size()), SQLITE_TRANSIENT);
      ASSERT_EQ(sqlite3_step(st), SQLITE_DONE);
      sqlite3_finalize(st);
    }
    sqlite3_close(db);
  }
};

TEST_F(SchemaOneIndex, IsMigratedAndItsUnchangedFilesAreNotLearnedAgain) {
  const std::string same = writeRim("same.rim", 1), old = writeRim("old.rim", 2),
                    changed = writeRim("changed.rim", 3);
  setTime(old, -300000000, 123);  // 1960, with nanoseconds
  makeSchemaOne({same, old, changed});
  writeRim("changed.rim", 4, 0, 120);  // another size

  SignatureIndex index;
  open(index);
  EXPECT_EQ(userVersion(indexFile()), SignatureIndex::kSchemaVersion);
  std::vector<IndexRow> rows;
  ASSERT_TRUE(index.RowsUnder(folder.path(), "test", rows));
  ASSERT_EQ(rows.size(), 3u);
  for (const IndexRow& row : rows) {
    EXPECT_FALSE(row.wholeStamp) << row.path;
    if (row.path == changed) continue;
    // The old time, converted: what the file system says now.
    FileStamp now;
    ASSERT_TRUE(ReadFileStamp(row.path, now));
    EXPECT_EQ(row.stamp.mtime, now.mtime) << row.path;
    EXPECT_EQ(row.stamp.mtimeNsec, now.mtimeNsec) << row.path;
  }

  const RefreshCounts c = refresh(index, {same, old, changed});
  EXPECT_EQ(c.unchanged, 2u);
  EXPECT_EQ(c.refreshed, 1u);
  EXPECT_EQ(calls, 1u);  // only the changed file
  ASSERT_TRUE(index.RowsUnder(folder.path(), "test", rows));
  for (const IndexRow& row : rows) EXPECT_TRUE(row.wholeStamp) << row.path;
  // The signatures of the first version still read.
  IndexRow row;
  ASSERT_TRUE(index.Find(same, "test", row));
  Signature stored, fromFile;
  ASSERT_TRUE(index.LoadSignature(row.id, stored));
  ASSERT_EQ(ReadRimSignature(same, fromFile), status::Success);
  // All but the relative histogram, which the first version did not keep.
  EXPECT_EQ(stored.relativeHistogram.count(), 0u);
  fromFile.relativeHistogram = KPX::Vector<double>();
  EXPECT_EQ(EncodeSignature(stored), EncodeSignature(fromFile));
  EXPECT_EQ(refresh(index, {same, old, changed}).unchanged, 3u);
}

// A step that fails leaves the file of schema 1 as it was: here the file
// already has a column the migration adds.
TEST_F(SchemaOneIndex, AMigrationThatFailsLeavesTheFileAsItWas) {
  const std::string a = writeRim("a.rim", 1);
  makeSchemaOne({a}, "ALTER TABLE entries ADD COLUMN inode TEXT;");
  const std::string before = readFileBytes(indexFile());
  SignatureIndex index;
  std::string notice, error;
  EXPECT_FALSE(index.Open(indexFile(), notice, error));
  EXPECT_NE(error.find("cannot bring the index up to date"), std::string::npos) << error;
  EXPECT_EQ(userVersion(indexFile()), 1);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(indexFile().c_str(), &db), SQLITE_OK);
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(db, "SELECT count(*) FROM pragma_table_info('entries') WHERE name='mtime_ns'",
                     -1, &s, nullptr);
  ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(s, 0), 0);
  sqlite3_finalize(s);
  sqlite3_close(db);
  EXPECT_FALSE(fs::exists(indexFile() + ".damaged"));
}

// What may lie at a path the user named.
struct NamedFile {
  const char* name;
  std::function<std::string(const std::string& scratch)> contents;
  bool usable;
};

std::string realIndex(const std::string& scratch) {
  const std::string path = scratch + "/real.sqlite";
  {
    SignatureIndex index;
    std::string notice, error;
    EXPECT_TRUE(index.Open(path, notice, error)) << error;
  }
  return readFileBytes(path);
}

// Garbage over the header from `from` to `to`.
std::string garbled(const std::string& scratch, std::size_t from, std::size_t to) {
  std::string bytes = realIndex(scratch);
  for (std::size_t i = from; i < to; ++i) bytes[i] = '\x5a';
  return bytes;
}

std::string otherDatabase(const std::string& scratch) {
  const std::string path = scratch + "/photos.db";
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_exec(db,
               "PRAGMA journal_mode=WAL; CREATE TABLE photos (x); INSERT INTO photos VALUES (1)",
               nullptr, nullptr, nullptr);
  sqlite3_close(db);
  return readFileBytes(path);
}

class NamedIndexFile : public IndexFixture, public ::testing::WithParamInterface<NamedFile> {};

TEST_P(NamedIndexFile, IsUsedOnlyWhenItIsAFolimIndexOrEmpty) {
  const std::string bytes = GetParam().contents(store.path());
  const std::string file = store.file("named");
  writeFileBytes(file, bytes);
  SignatureIndex index;
  std::string notice, error;
  const bool opened = index.Open(file, IndexOwner::User, notice, error);
  EXPECT_EQ(opened, GetParam().usable) << error;
  if (opened) {
    ASSERT_TRUE(index.Begin());
    ASSERT_TRUE(index.Put("/p/a.jpg", "k", stampOf(1, 1), 8, nullptr));
    ASSERT_TRUE(index.Commit());
    return;
  }
  EXPECT_NE(error.find("Folim index"), std::string::npos) << error;
  EXPECT_NE(error.find("left as it is"), std::string::npos) << error;
  // Refused for what it is, before it is ever read as a damaged index.
  EXPECT_EQ(error.find("damaged"), std::string::npos) << error;
  // Untouched, and nothing made beside it.
  EXPECT_EQ(readFileBytes(file), bytes);
  for (const char* suffix : {".damaged", "-journal", "-wal", "-shm"})
    EXPECT_FALSE(fs::exists(file + suffix)) << suffix;
}

INSTANTIATE_TEST_SUITE_P(
    Files, NamedIndexFile,
    ::testing::Values(NamedFile{"photograph",
                                [](const std::string&) {
                                  return readFileBytes(testing_support::examplesPath("aqua.jpg"));
                                },
                                false},
                      NamedFile{"text", [](const std::string&) { return std::string(3000, 'x'); },
                                false},
                      NamedFile{"other_programs_database", otherDatabase, false},
                      // The application id itself garbled: nothing says it was an index.
                      NamedFile{"damaged_header",
                                [](const std::string& s) { return garbled(s, 16, 100); }, false},
                      NamedFile{"empty", [](const std::string&) { return std::string(); }, true},
                      NamedFile{"folim_index", realIndex, true}),
    [](const ::testing::TestParamInfo<NamedFile>& p) { return std::string(p.param.name); });

class IndexFileOnDisk : public IndexFixture {};

// A Folim index of the user that is damaged but still names itself one is
// kept aside and rebuilt, as the default index is.
TEST_F(IndexFileOnDisk, ADamagedFolimIndexOfTheUserIsKeptAsideAndRebuilt) {
  const std::string bytes = garbled(store.path(), 20, 68);
  const std::string file = store.file("named");
  writeFileBytes(file, bytes);
  SignatureIndex index;
  std::string notice, error;
  ASSERT_TRUE(index.Open(file, IndexOwner::User, notice, error)) << error;
  EXPECT_NE(notice.find("damaged"), std::string::npos) << notice;
  EXPECT_EQ(readFileBytes(file + ".damaged"), bytes);
}

// Paths that are no regular file are refused before SQLite opens them:
// nothing is made beside them.
TEST_F(IndexFileOnDisk, APathThatIsNoRegularFileIsRefused) {
  const std::string fifo = store.file("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string device = store.file("device");
  fs::create_symlink("/dev/null", device);
  for (const std::string& file : {fifo, device, store.path()}) {
    for (IndexOwner owner : {IndexOwner::Folim, IndexOwner::User}) {
      SignatureIndex index;
      std::string notice, error;
      EXPECT_FALSE(index.Open(file, owner, notice, error)) << file;
      EXPECT_TRUE(error == "is not a regular file" || error == "is a folder") << error;
      for (const char* suffix : {"-journal", "-wal", "-shm", ".damaged"})
        EXPECT_FALSE(fs::exists(file + suffix)) << file << suffix;
    }
  }
}

// The umask of most systems (022) leaves files readable by every user;
// an index tells what a user keeps, so it is private.
class Umask {
 public:
  explicit Umask(mode_t mask) : previous_(::umask(mask)) {}
  ~Umask() { ::umask(previous_); }
  Umask(const Umask&) = delete;
  Umask& operator=(const Umask&) = delete;

 private:
  mode_t previous_;
};

TEST_F(IndexFileOnDisk, IsMadePrivateInTheFoldersItMakes) {
  const Umask common(022);
  const std::string cache = store.file("cache");
  ASSERT_EQ(::mkdir(cache.c_str(), 0755), 0);
  const std::string file = cache + "/folim/deeper/index.sqlite";
  SignatureIndex index;
  std::string notice, error;
  ASSERT_TRUE(index.Open(file, notice, error)) << error;
  ASSERT_TRUE(index.Begin());
  ASSERT_TRUE(index.Put("/p/a.jpg", "k", stampOf(1, 1), 8, nullptr));
  ASSERT_TRUE(index.Commit());
  EXPECT_EQ(modeOf(cache), 0755u);  // the user's own folder keeps its mode
  EXPECT_EQ(modeOf(cache + "/folim"), 0700u);
  EXPECT_EQ(modeOf(cache + "/folim/deeper"), 0700u);
  for (const char* suffix : {"", "-wal", "-shm"}) EXPECT_EQ(modeOf(file + suffix), 0600u) << suffix;
}

// An earlier version made the default index readable by every user: it
// becomes private when opened. A file the user named keeps the mode the
// user gave it (an index shared on purpose).
TEST_F(IndexFileOnDisk, AnOwnIndexReadableByOthersBecomesPrivate) {
  const std::string own = store.file("own.sqlite"), named = store.file("named.sqlite");
  for (const std::string& file : {own, named}) {
    {
      SignatureIndex index;
      std::string notice, error;
      ASSERT_TRUE(index.Open(file, notice, error)) << error;
    }
    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
  }
  SignatureIndex a, b;
  std::string notice, error;
  ASSERT_TRUE(a.Open(own, IndexOwner::Folim, notice, error)) << error;
  ASSERT_TRUE(b.Open(named, IndexOwner::User, notice, error)) << error;
  EXPECT_EQ(modeOf(own), 0600u);
  EXPECT_EQ(modeOf(named), 0644u);
}

// Damage found after opening: Rebuild keeps the file aside even though it
// opens well; a file another process has rebuilt meanwhile is opened.
TEST_F(IndexFileOnDisk, RebuildKeepsTheFileAsideUnlessAnotherProcessRebuiltIt) {
  SignatureIndex first, second;
  open(first);
  open(second);
  ASSERT_TRUE(first.Begin());
  ASSERT_TRUE(first.Put("/p/old.jpg", "k", stampOf(1, 1), 8, nullptr));
  ASSERT_TRUE(first.Commit());
  std::string notice, error;
  ASSERT_TRUE(first.Rebuild("found damaged", notice, error)) << error;
  EXPECT_NE(notice.find("found damaged"), std::string::npos) << notice;
  EXPECT_TRUE(fs::exists(indexFile() + ".damaged"));
  IndexRow row;
  EXPECT_FALSE(first.Find("/p/old.jpg", "k", row));
  ASSERT_TRUE(first.Begin());
  ASSERT_TRUE(first.Put("/p/new.jpg", "k", stampOf(1, 1), 8, nullptr));
  ASSERT_TRUE(first.Commit());

  fs::remove(indexFile() + ".damaged");
  ASSERT_TRUE(second.Rebuild("found damaged too", notice, error)) << error;
  EXPECT_EQ(notice, "");
  EXPECT_FALSE(fs::exists(indexFile() + ".damaged"));
  EXPECT_TRUE(second.Find("/p/new.jpg", "k", row));
}

}  // namespace
