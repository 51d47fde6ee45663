#include "index/sqlite_index.h"

#include <sqlite3.h>

#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>

#include "index/index_file.h"
#include "index/index_schema.h"
#include "index/signature_blob.h"
#include "index/signature_index.h"
#include "index/sqlite_statement.h"

namespace {

constexpr int kApplicationId = kIndexApplicationId;
// Another process may hold the write lock for one batch; waiting this long
// covers any batch.
constexpr int kBusyTimeoutMs = 60000;

// The columns of a row's stamp, in the order IndexStatement::readStamp takes
// them.
#define FOLIM_STAMP_COLUMNS "size, mtime, mtime_ns, ctime, ctime_ns, inode"

bool isDamage(int code) {
  code &= 0xff;
  return code == SQLITE_CORRUPT || code == SQLITE_NOTADB || code == SQLITE_FORMAT;
}

// Failures whose cause lies in the file system: which file or folder and
// why is found there.
bool isAccess(int code) {
  code &= 0xff;
  return code == SQLITE_CANTOPEN || code == SQLITE_READONLY || code == SQLITE_PERM;
}

}  // namespace

std::string DamagedCopyPath(const std::string& file) { return file + ".damaged"; }

SqliteIndex::~SqliteIndex() { close(); }

void SqliteIndex::close() {
  if (db_ != nullptr) sqlite3_close_v2(db_);
  db_ = nullptr;
}

// SQLite says only "unable to open database file"; the file system can
// tell which file or folder and why.
std::string SqliteIndex::withCause(const std::string& message) const {
  const std::string cause = CannotOpenCause(file_);
  return cause.empty() ? message : message + " (" + cause + ")";
}

// Keeps the message of the last failure and whether it was the file's damage.
bool SqliteIndex::failed() {
  const int code = sqlite3_extended_errcode(db_);
  error_ = sqlite3_errmsg(db_);
  if (isDamage(code)) damaged_ = true;
  if (isAccess(code)) error_ = withCause(error_);
  return false;
}

bool SqliteIndex::exec(const char* sql) {
  char* message = nullptr;
  const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
  if (rc != SQLITE_OK) {
    error_ = message != nullptr ? message : sqlite3_errstr(rc);
    sqlite3_free(message);
    if (isDamage(rc)) damaged_ = true;
    if (isAccess(rc)) error_ = withCause(error_);
    return false;
  }
  return true;
}

bool SqliteIndex::step(sqlite3_stmt* statement) {
  return sqlite3_step(statement) == SQLITE_DONE || failed();
}

sqlite3_stmt* SqliteIndex::prepare(const char* sql) {
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db_, sql, -1, &s, nullptr) != SQLITE_OK) {
    failed();
    return nullptr;
  }
  return s;
}

bool SqliteIndex::openFresh(std::string& error) {
  close();
  const int rc =
      sqlite3_open_v2(file_.c_str(), &db_,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    error = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    if (isAccess(rc)) error = withCause(error);
    close();
    return false;
  }
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  // An index is a cache: after a power cut it may lose the last batches
  // (which the next refresh makes again) but is never corrupt in WAL mode.
  sqlite3_exec(db_, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  return true;
}

// What lies at the path, before SQLite touches it: no FIFO or device is
// opened as a database (nothing is made beside it), a file of the user is
// used only when it is a Folim index or empty, and a missing index is made
// private (SQLite gives its companion files the index's mode).
bool SqliteIndex::prepareFile(std::string& error) {
  std::string why;
  switch (InspectIndexFile(file_, why)) {
    case IndexFileKind::NotRegular:
    case IndexFileKind::Unreadable:
      error = why;
      return false;
    case IndexFileKind::Other:
      if (owner_ == IndexOwner::User) {
        error = "not a Folim index (" + why + "); it is left as it is";
        return false;
      }
      break;
    case IndexFileKind::Missing:
      if (!MakePrivateFolders(std::filesystem::path(file_).parent_path().string(), error) ||
          !CreatePrivateFile(file_, error))
        return false;
      break;
    case IndexFileKind::Empty:
    case IndexFileKind::FolimIndex:
      break;
  }
  if (owner_ == IndexOwner::Folim) KeepPrivate(file_);
  return MendCompanionFiles(file_, error);
}

// A failed read of the schema: damage gives a reason to rebuild, anything
// else (a lock held too long, no permission) is an error.
bool SqliteIndex::failedRead(std::string& reason) {
  const int code = sqlite3_errcode(db_);
  if (isDamage(code))
    reason = sqlite3_errmsg(db_);
  else
    failed();
  return false;
}

bool SqliteIndex::Rebuild(const std::string& reason, std::string& notice, std::string& error) {
  notice.clear();
  error.clear();
  return moveAsideAndCreate(reason, true, notice, error);
}

// The header values that tell a fresh, a Folim and a foreign file apart.
struct SqliteIndex::SchemaState {
  int applicationId = 0;
  int version = 0;
  int tables = 0;
  bool fresh() const { return applicationId == 0 && version == 0 && tables == 0; }
  bool older() const {
    return applicationId == kApplicationId && version >= 1 && version < kSchemaVersion;
  }
};

bool SqliteIndex::readInt(const char* sql, int& value) {
  IndexStatement s(prepare(sql));
  if (!s || sqlite3_step(s.get()) != SQLITE_ROW) return false;
  value = sqlite3_column_int(s.get(), 0);
  return true;
}

// Inside a transaction, so that the values come from one moment: a process
// making the index commits its tables and its identity at once, and a
// reader between two of its own reads would otherwise see tables without
// the identity and take the new index for a foreign file.
bool SqliteIndex::readSchemaState(const char* begin, SchemaState& state, std::string& reason) {
  if (!exec(begin)) return false;
  if (readInt("PRAGMA application_id", state.applicationId) &&
      readInt("PRAGMA user_version", state.version) &&
      readInt("SELECT count(*) FROM sqlite_schema", state.tables))
    return true;
  failedRead(reason);
  // Some failures end the transaction themselves; the error is kept.
  sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  return false;
}

// Makes the tables of a fresh file, or migrates an older one, under the
// write lock after looking again: another process may have done either
// since. One transaction: a migration cut short leaves the old file.
bool SqliteIndex::createOrMigrate(SchemaState& state, std::string& reason) {
  if (!readSchemaState("BEGIN IMMEDIATE", state, reason)) return false;
  std::string error;
  bool ok = true;
  const bool made = state.fresh() || state.older();
  if (state.fresh())
    ok = CreateIndexSchema(db_, error);
  else if (state.older())
    ok = MigrateIndexSchema(db_, state.version, error);
  if (!ok) {
    const int code = sqlite3_errcode(db_);
    if (isDamage(code))
      reason = error;
    else
      error_ = (state.fresh() ? "cannot make the index: " : "cannot bring the index up to date: ") +
               (isAccess(code) ? withCause(error) : error);
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
  }
  if (made) {
    state.applicationId = kApplicationId;
    state.version = kSchemaVersion;
  }
  return exec("COMMIT");
}

// Reads, makes or migrates the schema. reason is set (and false returned)
// when the file is damaged or foreign; error_ holds other failures. An
// empty file, or one another process is making or holds locked, is neither:
// the lock is waited for.
bool SqliteIndex::prepareSchema(std::string& reason) {
  SchemaState state;
  if (!readSchemaState("BEGIN", state, reason) || !exec("COMMIT")) return false;
  if ((state.fresh() || state.older()) && !createOrMigrate(state, reason)) return false;
  if (state.applicationId != kApplicationId) {
    reason = "not a Folim index";
    return false;
  }
  if (state.version > kSchemaVersion) {
    error_ = "made by a newer version of Folim (schema " + std::to_string(state.version) + ")";
    return false;
  }
  if (state.version < 1) {
    reason = "no schema version";
    return false;
  }
  return ensureWal();
}

// WAL lets readers go on while one process writes; the mode stays with the
// file, so the first opener to get it sets it for all. The switch needs the
// other connections idle and SQLite answers "busy" at once instead of
// waiting for that, so it is tried again for as long as a lock is waited for.
bool SqliteIndex::ensureWal() {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
  for (;;) {
    int rc;
    {
      IndexStatement s(prepare("PRAGMA journal_mode=WAL"));
      if (!s) return false;
      rc = sqlite3_step(s.get());
      if (rc == SQLITE_ROW) {
        const auto* mode = reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 0));
        if (mode != nullptr && std::strcmp(mode, "wal") == 0) return true;
        rc = SQLITE_BUSY;  // left in the old mode: another connection was busy
      }
    }
    if ((rc & 0xff) != SQLITE_BUSY && (rc & 0xff) != SQLITE_LOCKED) return failed();
    if (std::chrono::steady_clock::now() > deadline) {
      error_ = "the index stays locked by another process";
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool SqliteIndex::Open(const std::string& file, IndexOwner owner, std::string& notice,
                       std::string& error) {
  close();
  file_ = file;
  owner_ = owner;
  damaged_ = false;
  notice.clear();
  error.clear();
  if (!prepareFile(error) || !openFresh(error)) return false;
  std::string reason;
  if (prepareSchema(reason)) {
    FileIdentity(file_, device_, inode_);
    return true;
  }
  if (reason.empty()) {
    error = error_;
    close();
    return false;
  }
  return moveAsideAndCreate(reason, false, notice, error);
}

// Damaged or foreign: keep it for inspection and start afresh. Unless
// another process has just done so: then its fresh index is the one. At
// opening, a file that reads well now is such a new index; once opened,
// damage found later is told from a new index by the file's identity.
bool SqliteIndex::moveAsideAndCreate(const std::string& reason, bool force, std::string& notice,
                                     std::string& error) {
  close();
  damaged_ = false;
  unsigned long long device = 0, inode = 0;
  const bool replaced =
      force && FileIdentity(file_, device, inode) && (device != device_ || inode != inode_);
  if (!force || replaced) {
    std::string ignored;
    if (openFresh(ignored)) {
      std::string again;
      if (prepareSchema(again)) {
        FileIdentity(file_, device_, inode_);
        return true;
      }
    }
    close();
  }
  const std::string& file = file_;
  std::string why;
  if (owner_ == IndexOwner::User && InspectIndexFile(file, why) != IndexFileKind::FolimIndex) {
    error = "the index " + file + " is damaged (" + reason +
            ") and is not recognisably a Folim index; it is left as it is";
    return false;
  }
  std::error_code ec;
  const std::string aside = DamagedCopyPath(file);
  std::filesystem::rename(file, aside, ec);
  if (ec) {
    error = "the index " + file + " is damaged (" + reason + ") and cannot be moved aside";
    return false;
  }
  for (const char* suffix : {"-wal", "-shm"}) std::filesystem::remove(file + suffix, ec);
  notice = "the index " + file + " was damaged (" + reason + "); kept as " + aside + " and rebuilt";
  if (!prepareFile(error) || !openFresh(error)) return false;
  std::string again;
  if (!prepareSchema(again)) {
    error = again.empty() ? error_ : again;
    close();
    return false;
  }
  FileIdentity(file_, device_, inode_);
  return true;
}

bool SqliteIndex::RowsUnder(const std::string& dir, const std::string& params,
                            std::vector<IndexRow>& rows) {
  rows.clear();
  IndexStatement s(prepare("SELECT id, path, " FOLIM_STAMP_COLUMNS ", status FROM entries"
                           " WHERE path >= ?1 AND path < ?2 AND params = ?3 ORDER BY path"));
  if (!s) return false;
  s.blob(1, PathRangeLow(dir));
  s.blob(2, PathRangeHigh(dir));
  s.text(3, params);
  int rc;
  while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
    IndexRow row;
    row.id = s.columnInteger(0);
    row.path = s.columnBytes(1);
    row.wholeStamp = s.readStamp(2, row.stamp);
    row.status = sqlite3_column_int(s.get(), 8);
    rows.push_back(std::move(row));
  }
  return rc == SQLITE_DONE || failed();
}

bool SqliteIndex::Find(const std::string& path, const std::string& params, IndexRow& row) {
  IndexStatement s(prepare("SELECT id, " FOLIM_STAMP_COLUMNS
                           ", status FROM entries WHERE path = ?1 AND params = ?2"));
  if (!s) return false;
  s.blob(1, path);
  s.text(2, params);
  const int rc = sqlite3_step(s.get());
  if (rc != SQLITE_ROW) return rc == SQLITE_DONE ? false : failed();
  row.id = s.columnInteger(0);
  row.path = path;
  row.wholeStamp = s.readStamp(1, row.stamp);
  row.status = sqlite3_column_int(s.get(), 7);
  return true;
}

bool SqliteIndex::FailedUnder(const std::string& dir, const std::string& params,
                              std::vector<std::string>& paths) {
  paths.clear();
  IndexStatement s(
      prepare("SELECT path FROM entries WHERE path >= ?1 AND path < ?2 AND params = ?3"
              " AND status != 0 ORDER BY path"));
  if (!s) return false;
  s.blob(1, PathRangeLow(dir));
  s.blob(2, PathRangeHigh(dir));
  s.text(3, params);
  int rc;
  while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) paths.push_back(s.columnBytes(0));
  return rc == SQLITE_DONE || failed();
}

bool SqliteIndex::PathsUnder(const std::string& dir, std::vector<std::string>& paths) {
  paths.clear();
  IndexStatement s(
      prepare("SELECT DISTINCT path FROM entries WHERE path >= ?1 AND path < ?2 ORDER BY path"));
  if (!s) return false;
  s.blob(1, PathRangeLow(dir));
  s.blob(2, PathRangeHigh(dir));
  int rc;
  while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) paths.push_back(s.columnBytes(0));
  return rc == SQLITE_DONE || failed();
}

// The roots live in a table of their own, made when the first is kept: an
// index without roots is as it always was.
bool SqliteIndex::LoadRoots(const std::string& host, std::vector<LibraryRoot>& roots) {
  roots.clear();
  IndexStatement exists(
      prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'roots'"));
  if (!exists) return false;
  const int found = sqlite3_step(exists.get());
  if (found == SQLITE_DONE) return true;
  if (found != SQLITE_ROW) return failed();
  IndexStatement s(prepare("SELECT name, dir FROM roots WHERE host = ?1 ORDER BY name"));
  if (!s) return false;
  s.blob(1, host);
  int rc;
  while ((rc = sqlite3_step(s.get())) == SQLITE_ROW)
    roots.push_back({s.columnBytes(0), s.columnBytes(1)});
  return rc == SQLITE_DONE || failed();
}

bool SqliteIndex::SaveRoot(const std::string& host, const LibraryRoot& root) {
  if (!exec("CREATE TABLE IF NOT EXISTS roots (host BLOB NOT NULL, name BLOB NOT NULL,"
            " dir BLOB NOT NULL, PRIMARY KEY (host, name))"))
    return false;
  IndexStatement s(prepare("INSERT OR REPLACE INTO roots (host, name, dir) VALUES (?1, ?2, ?3)"));
  if (!s) return false;
  s.blob(1, host);
  s.blob(2, root.name);
  s.blob(3, root.dir);
  return step(s.get());
}

bool SqliteIndex::Begin() { return exec("BEGIN IMMEDIATE"); }
bool SqliteIndex::Commit() { return exec("COMMIT"); }
bool SqliteIndex::Rollback() { return exec("ROLLBACK"); }

bool SqliteIndex::Put(const std::string& path, const std::string& params, const FileStamp& stamp,
                      std::int32_t status, const Signature* signature) {
  IndexStatement s(prepare(
      "INSERT INTO entries (path, params, " FOLIM_STAMP_COLUMNS
      ", status, learning, compact)"
      " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)"
      " ON CONFLICT (path, params) DO UPDATE SET size = excluded.size, mtime = excluded.mtime,"
      " mtime_ns = excluded.mtime_ns, ctime = excluded.ctime, ctime_ns = excluded.ctime_ns,"
      " inode = excluded.inode, status = excluded.status, learning = excluded.learning,"
      " compact = excluded.compact"
      " RETURNING id"));
  if (!s) return false;
  s.blob(1, path);
  s.text(2, params);
  s.stamp(3, stamp);
  s.integer(9, status);
  s.integer(10, signature != nullptr ? signature->learningMethod : 0);
  if (signature != nullptr) s.blob(11, EncodeCompact(MakeCompact(*signature)));
  if (sqlite3_step(s.get()) != SQLITE_ROW) return failed();
  const std::int64_t id = s.columnInteger(0);
  if (!step(s.get())) return false;
  IndexStatement d(signature != nullptr
                       ? prepare("INSERT OR REPLACE INTO signatures (id, data) VALUES (?1, ?2)")
                       : prepare("DELETE FROM signatures WHERE id = ?1"));
  if (!d) return false;
  d.integer(1, id);
  if (signature != nullptr) d.blob(2, EncodeSignature(*signature));
  return step(d.get());
}

bool SqliteIndex::Restamp(std::int64_t id, const FileStamp& stamp) {
  IndexStatement s(
      prepare("UPDATE entries SET size = ?1, mtime = ?2, mtime_ns = ?3, ctime = ?4,"
              " ctime_ns = ?5, inode = ?6 WHERE id = ?7"));
  if (!s) return false;
  s.stamp(1, stamp);
  s.integer(7, id);
  return step(s.get());
}

bool SqliteIndex::Remove(const std::string& path) {
  IndexStatement g(
      prepare("DELETE FROM signatures WHERE id IN (SELECT id FROM entries WHERE path = ?1)"));
  if (!g) return false;
  g.blob(1, path);
  if (!step(g.get())) return false;
  IndexStatement s(prepare("DELETE FROM entries WHERE path = ?1"));
  if (!s) return false;
  s.blob(1, path);
  return step(s.get());
}

bool SqliteIndex::RenamePath(const std::string& from, const std::string& to) {
  if (from == to) return true;
  if (!Remove(to)) return false;
  IndexStatement s(prepare("UPDATE entries SET path = ?2 WHERE path = ?1"));
  if (!s) return false;
  s.blob(1, from);
  s.blob(2, to);
  return step(s.get());
}

bool SqliteIndex::RemoveId(std::int64_t id) {
  IndexStatement g(prepare("DELETE FROM signatures WHERE id = ?1"));
  if (!g) return false;
  g.integer(1, id);
  if (!step(g.get())) return false;
  IndexStatement s(prepare("DELETE FROM entries WHERE id = ?1"));
  if (!s) return false;
  s.integer(1, id);
  return step(s.get());
}

bool SqliteIndex::DropRows(const std::vector<std::int64_t>& ids) {
  if (ids.empty()) return true;
  if (!Begin()) return false;
  for (std::int64_t id : ids) {
    if (!RemoveId(id)) {
      const std::string error = error_;
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
      error_ = error;
      return false;
    }
  }
  return Commit();
}

namespace {

// The row a statement of id, path and compact stands on: kept when its
// descriptor decodes with the learning flag, else its id listed in damaged.
void takeCompactRow(const IndexStatement& s, std::uint16_t learning, std::vector<CompactRow>& rows,
                    std::vector<std::int64_t>& damaged) {
  CompactRow row;
  row.id = s.columnInteger(0);
  const auto* blob = static_cast<const std::uint8_t*>(sqlite3_column_blob(s.get(), 2));
  const int n = sqlite3_column_bytes(s.get(), 2);
  if (blob == nullptr || !DecodeCompact(blob, static_cast<std::size_t>(n), row.compact) ||
      row.compact.learningMethod != learning) {
    damaged.push_back(row.id);
    return;
  }
  row.path = s.columnBytes(1);
  rows.push_back(std::move(row));
}

}  // namespace

bool SqliteIndex::LoadCompact(const std::string& dir, const std::string& params,
                              std::uint16_t learning, std::vector<CompactRow>& rows,
                              std::vector<std::int64_t>& damaged) {
  rows.clear();
  damaged.clear();
  IndexStatement s(
      prepare("SELECT id, path, compact FROM entries WHERE path >= ?1 AND path < ?2 AND params = ?3"
              " AND status = 0 AND learning = ?4"));
  if (!s) return false;
  s.blob(1, PathRangeLow(dir));
  s.blob(2, PathRangeHigh(dir));
  s.text(3, params);
  s.integer(4, learning);
  int rc;
  while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
    if (rows.capacity() == rows.size()) rows.reserve(rows.size() * 2 + 1024);
    takeCompactRow(s, learning, rows, damaged);
  }
  return rc == SQLITE_DONE || failed();
}

bool SqliteIndex::LoadSignature(std::int64_t id, Signature& signature, bool* databaseError) {
  if (databaseError != nullptr) *databaseError = false;
  auto failure = [&] {
    if (databaseError != nullptr) *databaseError = true;
    return false;
  };
  IndexStatement s(prepare("SELECT data FROM signatures WHERE id = ?1"));
  if (!s) return failure();
  s.integer(1, id);
  const int rc = sqlite3_step(s.get());
  if (rc != SQLITE_ROW) {
    if (rc == SQLITE_DONE) return false;
    failed();
    return failure();
  }
  const auto* blob = static_cast<const std::uint8_t*>(sqlite3_column_blob(s.get(), 0));
  const int n = sqlite3_column_bytes(s.get(), 0);
  return blob != nullptr && DecodeSignature(blob, static_cast<std::size_t>(n), signature);
}

bool SqliteIndex::LoadSignatureBlob(std::int64_t id, std::vector<std::uint8_t>& blob,
                                    bool* databaseError) {
  if (databaseError != nullptr) *databaseError = false;
  blob.clear();
  IndexStatement s(prepare("SELECT data FROM signatures WHERE id = ?1"));
  if (!s) {
    if (databaseError != nullptr) *databaseError = true;
    return false;
  }
  s.integer(1, id);
  const int rc = sqlite3_step(s.get());
  if (rc != SQLITE_ROW) {
    if (rc == SQLITE_DONE) return false;
    failed();
    if (databaseError != nullptr) *databaseError = true;
    return false;
  }
  const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(s.get(), 0));
  const int n = sqlite3_column_bytes(s.get(), 0);
  if (data != nullptr) blob.assign(data, data + n);
  return true;
}

bool SqliteIndex::EntryStampOf(EntryStamp& stamp) {
  int made = 0;
  if (!readInt("SELECT count(*) FROM sqlite_schema WHERE name = 'failed_entries'", made))
    return false;
  if (made == 0) {
    std::string error;
    if (!exec("BEGIN IMMEDIATE")) return false;
    if (!CreateEntryChanges(db_, error)) {
      error_ = error;
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
      return false;
    }
    if (!exec("COMMIT")) return false;
  }
  IndexStatement s(prepare("SELECT epoch, generation FROM entry_changes"));
  if (!s) return false;
  if (sqlite3_step(s.get()) != SQLITE_ROW) return failed();
  stamp.epoch = s.columnInteger(0);
  stamp.generation = s.columnInteger(1);
  return true;
}

bool SqliteIndex::ChangedSince(std::int64_t generation, std::vector<std::int64_t>& ids) {
  ids.clear();
  IndexStatement s(prepare("SELECT DISTINCT id FROM entry_log WHERE generation > ?1"));
  if (!s) return false;
  s.integer(1, generation);
  int rc;
  while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) ids.push_back(s.columnInteger(0));
  return rc == SQLITE_DONE || failed();
}

std::string SqliteIndex::NeighbourFile(const std::string& params, std::uint16_t learning) const {
  char name[40];
  std::snprintf(name, sizeof name, ".neighbours-%08x-%u",
                static_cast<unsigned>(crc32(0L, reinterpret_cast<const Bytef*>(params.data()),
                                            static_cast<uInt>(params.size()))),
                static_cast<unsigned>(learning));
  return file_ + name;
}

bool SqliteIndex::LargestId(std::int64_t& id) {
  IndexStatement s(prepare("SELECT coalesce(max(id), 0) FROM entries"));
  if (!s) return false;
  if (sqlite3_step(s.get()) != SQLITE_ROW) return failed();
  id = s.columnInteger(0);
  return true;
}

bool SqliteIndex::VisitCompact(
    const std::string& params, std::uint16_t learning,
    const std::function<void(std::int64_t, const CompactSignature&)>& visit) {
  IndexStatement s(
      prepare("SELECT id, compact FROM entries WHERE params = ?1 AND status = 0 AND learning = ?2"
              " ORDER BY id"));
  if (!s) return false;
  s.text(1, params);
  s.integer(2, learning);
  int rc;
  CompactSignature compact;
  while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
    const auto* blob = static_cast<const std::uint8_t*>(sqlite3_column_blob(s.get(), 1));
    const int n = sqlite3_column_bytes(s.get(), 1);
    if (blob != nullptr && DecodeCompact(blob, static_cast<std::size_t>(n), compact) &&
        compact.learningMethod == learning)
      visit(s.columnInteger(0), compact);
  }
  return rc == SQLITE_DONE || failed();
}

bool SqliteIndex::LoadCompactOf(const std::vector<std::int64_t>& ids, const std::string& params,
                                std::uint16_t learning, std::vector<CompactRow>& rows,
                                std::vector<std::int64_t>& damaged) {
  rows.clear();
  damaged.clear();
  IndexStatement s(
      prepare("SELECT id, path, compact FROM entries WHERE id = ?1 AND params = ?2"
              " AND status = 0 AND learning = ?3"));
  if (!s) return false;
  rows.reserve(ids.size());
  for (const std::int64_t id : ids) {
    sqlite3_reset(s.get());
    s.integer(1, id);
    s.text(2, params);
    s.integer(3, learning);
    const int rc = sqlite3_step(s.get());
    if (rc == SQLITE_DONE) continue;
    if (rc != SQLITE_ROW) return failed();
    takeCompactRow(s, learning, rows, damaged);
  }
  return true;
}
