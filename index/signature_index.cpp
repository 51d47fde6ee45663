#include "index/signature_index.h"

#include <sqlite3.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>

#include "index/signature_blob.h"

namespace {

constexpr int kApplicationId = 1181707369;  // "Foli"
// Another process may hold the write lock for one batch; waiting this long
// covers any batch.
constexpr int kBusyTimeoutMs = 60000;

// A prepared statement finalised when it goes out of scope.
class Statement {
 public:
  explicit Statement(sqlite3_stmt* s) : s_(s) {}
  ~Statement() { sqlite3_finalize(s_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  sqlite3_stmt* get() const { return s_; }
  explicit operator bool() const { return s_ != nullptr; }
  void text(int i, const std::string& v) {
    sqlite3_bind_text(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  }
  void blob(int i, const std::string& v) {
    sqlite3_bind_blob(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  }
  void blob(int i, const std::vector<std::uint8_t>& v) {
    sqlite3_bind_blob(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  }
  void integer(int i, std::int64_t v) { sqlite3_bind_int64(s_, i, v); }
  std::string columnBytes(int i) const {
    const void* p = sqlite3_column_blob(s_, i);
    const int n = sqlite3_column_bytes(s_, i);
    return p == nullptr ? std::string() : std::string(static_cast<const char*>(p), n);
  }

 private:
  sqlite3_stmt* s_;
};

bool isDamage(int code) {
  code &= 0xff;
  return code == SQLITE_CORRUPT || code == SQLITE_NOTADB || code == SQLITE_FORMAT;
}

}  // namespace

std::string DamagedCopyPath(const std::string& file) { return file + ".damaged"; }

std::string PathRangeLow(const std::string& dir) { return dir + "/"; }
std::string PathRangeHigh(const std::string& dir) { return dir + "0"; }

SignatureIndex::~SignatureIndex() { close(); }

void SignatureIndex::close() {
  if (db_ != nullptr) sqlite3_close_v2(db_);
  db_ = nullptr;
}

bool SignatureIndex::exec(const char* sql) {
  char* message = nullptr;
  const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
  if (rc != SQLITE_OK) {
    error_ = message != nullptr ? message : sqlite3_errstr(rc);
    sqlite3_free(message);
    return false;
  }
  return true;
}

sqlite3_stmt* SignatureIndex::prepare(const char* sql) {
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db_, sql, -1, &s, nullptr) != SQLITE_OK) {
    error_ = sqlite3_errmsg(db_);
    return nullptr;
  }
  return s;
}

bool SignatureIndex::openFresh(std::string& error) {
  close();
  const int rc =
      sqlite3_open_v2(file_.c_str(), &db_,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    error = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    close();
    return false;
  }
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  // An index is a cache: after a power cut it may lose the last batches
  // (which the next refresh makes again) but is never corrupt in WAL mode.
  sqlite3_exec(db_, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  return true;
}

// A failed read of the schema: damage gives a reason to rebuild, anything
// else (a lock held too long, no permission) is an error.
bool SignatureIndex::failedRead(std::string& reason) {
  const int code = sqlite3_errcode(db_);
  if (isDamage(code))
    reason = sqlite3_errmsg(db_);
  else
    error_ = sqlite3_errmsg(db_);
  return false;
}

bool SignatureIndex::damaged() const { return db_ != nullptr && isDamage(sqlite3_errcode(db_)); }

bool SignatureIndex::Rebuild(const std::string& reason, std::string& notice, std::string& error) {
  return moveAsideAndCreate(reason, notice, error);
}

// The header values that tell a fresh, a Folim and a foreign file apart.
struct SignatureIndex::SchemaState {
  int applicationId = 0;
  int version = 0;
  int tables = 0;
  bool fresh() const { return applicationId == 0 && version == 0 && tables == 0; }
};

bool SignatureIndex::readInt(const char* sql, int& value) {
  Statement s(prepare(sql));
  if (!s || sqlite3_step(s.get()) != SQLITE_ROW) return false;
  value = sqlite3_column_int(s.get(), 0);
  return true;
}

// Inside a transaction, so that the values come from one moment: a process
// making the index commits its tables and its identity at once, and a
// reader between two of its own reads would otherwise see tables without
// the identity and take the new index for a foreign file.
bool SignatureIndex::readSchemaState(const char* begin, SchemaState& state, std::string& reason) {
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

bool SignatureIndex::createTables() {
  return exec(
             "CREATE TABLE entries ("
             " id INTEGER PRIMARY KEY,"
             " path BLOB NOT NULL,"
             " params TEXT NOT NULL,"
             " size INTEGER NOT NULL,"
             " mtime INTEGER NOT NULL,"
             " status INTEGER NOT NULL,"
             " learning INTEGER NOT NULL DEFAULT 0,"
             " compact BLOB,"
             " UNIQUE (path, params))") &&
         // The whole signatures apart, so that the first stage of a ranking
         // reads the small rows only.
         exec("CREATE TABLE signatures (id INTEGER PRIMARY KEY, data BLOB NOT NULL)") &&
         exec("PRAGMA application_id=1181707369") && exec("PRAGMA user_version=1");
}

// Reads or makes the schema. reason is set (and false returned) when the
// file is damaged or foreign; error_ holds other failures. An empty file,
// or one another process is making or holds locked, is neither: the lock
// is waited for.
bool SignatureIndex::prepareSchema(std::string& reason) {
  SchemaState state;
  if (!readSchemaState("BEGIN", state, reason) || !exec("COMMIT")) return false;
  if (state.fresh()) {
    // Made under the write lock, after looking again: another process may
    // have made it since.
    if (!readSchemaState("BEGIN IMMEDIATE", state, reason)) return false;
    if (state.fresh()) {
      if (!createTables()) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
      }
      state.applicationId = kApplicationId;
      state.version = kSchemaVersion;
    }
    if (!exec("COMMIT")) return false;
  }
  if (state.applicationId != kApplicationId) {
    reason = "not a Folim index";
    return false;
  }
  if (state.version > kSchemaVersion) {
    error_ = "made by a newer version of Folim (schema " + std::to_string(state.version) + ")";
    return false;
  }
  // Schema 1 is the first; later versions migrate older files here, step by
  // step inside one transaction.
  return ensureWal();
}

// WAL lets readers go on while one process writes; the mode stays with the
// file, so the first opener to get it sets it for all. The switch needs the
// other connections idle and SQLite answers "busy" at once instead of
// waiting for that, so it is tried again for as long as a lock is waited for.
bool SignatureIndex::ensureWal() {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
  for (;;) {
    int rc;
    {
      Statement s(prepare("PRAGMA journal_mode=WAL"));
      if (!s) return false;
      rc = sqlite3_step(s.get());
      if (rc == SQLITE_ROW) {
        const auto* mode = reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 0));
        if (mode != nullptr && std::strcmp(mode, "wal") == 0) return true;
        rc = SQLITE_BUSY;  // left in the old mode: another connection was busy
      }
    }
    if ((rc & 0xff) != SQLITE_BUSY && (rc & 0xff) != SQLITE_LOCKED) {
      error_ = sqlite3_errmsg(db_);
      return false;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      error_ = "the index stays locked by another process";
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool SignatureIndex::Open(const std::string& file, std::string& notice, std::string& error) {
  file_ = file;
  notice.clear();
  error.clear();
  std::error_code ec;
  const std::filesystem::path parent = std::filesystem::path(file).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent, ec);
  if (!openFresh(error)) return false;
  std::string reason;
  if (prepareSchema(reason)) return true;
  if (reason.empty()) {
    error = error_;
    close();
    return false;
  }
  return moveAsideAndCreate(reason, notice, error);
}

bool SignatureIndex::moveAsideAndCreate(const std::string& reason, std::string& notice,
                                        std::string& error) {
  // Damaged or foreign: keep it for inspection and start afresh. Unless
  // another process has just done so: then its fresh index is the one.
  close();
  std::string ignored;
  if (openFresh(ignored)) {
    std::string again;
    if (prepareSchema(again)) return true;
  }
  close();
  const std::string& file = file_;
  std::error_code ec;
  const std::string aside = DamagedCopyPath(file);
  std::filesystem::rename(file, aside, ec);
  if (ec) {
    error = "the index " + file + " is damaged (" + reason + ") and cannot be moved aside";
    return false;
  }
  for (const char* suffix : {"-wal", "-shm"}) std::filesystem::remove(file + suffix, ec);
  notice = "the index " + file + " was damaged (" + reason + "); kept as " + aside + " and rebuilt";
  if (!openFresh(error)) return false;
  std::string again;
  if (!prepareSchema(again)) {
    error = again.empty() ? error_ : again;
    close();
    return false;
  }
  return true;
}

bool SignatureIndex::RowsUnder(const std::string& dir, const std::string& params,
                               std::vector<IndexRow>& rows) {
  rows.clear();
  Statement s(
      prepare("SELECT id, path, size, mtime, status FROM entries"
              " WHERE path >= ?1 AND path < ?2 AND params = ?3 ORDER BY path"));
  if (!s) return false;
  s.blob(1, PathRangeLow(dir));
  s.blob(2, PathRangeHigh(dir));
  s.text(3, params);
  int rc;
  while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
    IndexRow row;
    row.id = sqlite3_column_int64(s.get(), 0);
    row.path = s.columnBytes(1);
    row.size = sqlite3_column_int64(s.get(), 2);
    row.mtime = sqlite3_column_int64(s.get(), 3);
    row.status = sqlite3_column_int(s.get(), 4);
    rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) error_ = sqlite3_errmsg(db_);
  return rc == SQLITE_DONE;
}

bool SignatureIndex::Find(const std::string& path, const std::string& params, IndexRow& row) {
  Statement s(
      prepare("SELECT id, size, mtime, status FROM entries WHERE path = ?1 AND params = ?2"));
  if (!s) return false;
  s.blob(1, path);
  s.text(2, params);
  if (sqlite3_step(s.get()) != SQLITE_ROW) return false;
  row.id = sqlite3_column_int64(s.get(), 0);
  row.path = path;
  row.size = sqlite3_column_int64(s.get(), 1);
  row.mtime = sqlite3_column_int64(s.get(), 2);
  row.status = sqlite3_column_int(s.get(), 3);
  return true;
}

bool SignatureIndex::Begin() { return exec("BEGIN IMMEDIATE"); }
bool SignatureIndex::Commit() { return exec("COMMIT"); }
bool SignatureIndex::Rollback() { return exec("ROLLBACK"); }

bool SignatureIndex::Put(const std::string& path, const std::string& params, std::int64_t size,
                         std::int64_t mtime, std::int32_t status, const Signature* signature) {
  Statement s(prepare(
      "INSERT INTO entries (path, params, size, mtime, status, learning, compact)"
      " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)"
      " ON CONFLICT (path, params) DO UPDATE SET size = excluded.size, mtime = excluded.mtime,"
      " status = excluded.status, learning = excluded.learning, compact = excluded.compact"
      " RETURNING id"));
  if (!s) return false;
  s.blob(1, path);
  s.text(2, params);
  s.integer(3, size);
  s.integer(4, mtime);
  s.integer(5, status);
  s.integer(6, signature != nullptr ? signature->learningMethod : 0);
  if (signature != nullptr) s.blob(7, EncodeCompact(MakeCompact(*signature)));
  if (sqlite3_step(s.get()) != SQLITE_ROW) {
    error_ = sqlite3_errmsg(db_);
    return false;
  }
  const std::int64_t id = sqlite3_column_int64(s.get(), 0);
  if (sqlite3_step(s.get()) != SQLITE_DONE) {
    error_ = sqlite3_errmsg(db_);
    return false;
  }
  Statement d(signature != nullptr
                  ? prepare("INSERT OR REPLACE INTO signatures (id, data) VALUES (?1, ?2)")
                  : prepare("DELETE FROM signatures WHERE id = ?1"));
  if (!d) return false;
  d.integer(1, id);
  if (signature != nullptr) d.blob(2, EncodeSignature(*signature));
  if (sqlite3_step(d.get()) != SQLITE_DONE) {
    error_ = sqlite3_errmsg(db_);
    return false;
  }
  return true;
}

bool SignatureIndex::Remove(const std::string& path) {
  Statement g(
      prepare("DELETE FROM signatures WHERE id IN (SELECT id FROM entries WHERE path = ?1)"));
  if (!g) return false;
  g.blob(1, path);
  if (sqlite3_step(g.get()) != SQLITE_DONE) {
    error_ = sqlite3_errmsg(db_);
    return false;
  }
  Statement s(prepare("DELETE FROM entries WHERE path = ?1"));
  if (!s) return false;
  s.blob(1, path);
  if (sqlite3_step(s.get()) != SQLITE_DONE) {
    error_ = sqlite3_errmsg(db_);
    return false;
  }
  return true;
}

bool SignatureIndex::RemoveId(std::int64_t id) {
  Statement g(prepare("DELETE FROM signatures WHERE id = ?1"));
  if (!g) return false;
  g.integer(1, id);
  if (sqlite3_step(g.get()) != SQLITE_DONE) {
    error_ = sqlite3_errmsg(db_);
    return false;
  }
  Statement s(prepare("DELETE FROM entries WHERE id = ?1"));
  if (!s) return false;
  s.integer(1, id);
  if (sqlite3_step(s.get()) != SQLITE_DONE) {
    error_ = sqlite3_errmsg(db_);
    return false;
  }
  return true;
}

bool SignatureIndex::LoadCompact(const std::string& dir, const std::string& params,
                                 std::uint16_t learning, std::vector<CompactRow>& rows,
                                 std::vector<std::int64_t>& damaged) {
  rows.clear();
  damaged.clear();
  Statement s(
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
    CompactRow row;
    row.id = sqlite3_column_int64(s.get(), 0);
    const auto* blob = static_cast<const std::uint8_t*>(sqlite3_column_blob(s.get(), 2));
    const int n = sqlite3_column_bytes(s.get(), 2);
    if (blob == nullptr || !DecodeCompact(blob, static_cast<std::size_t>(n), row.compact) ||
        row.compact.learningMethod != learning) {
      damaged.push_back(row.id);
      continue;
    }
    row.path = s.columnBytes(1);
    rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) error_ = sqlite3_errmsg(db_);
  return rc == SQLITE_DONE;
}

bool SignatureIndex::LoadSignature(std::int64_t id, Signature& signature) {
  Statement s(prepare("SELECT data FROM signatures WHERE id = ?1"));
  if (!s) return false;
  s.integer(1, id);
  if (sqlite3_step(s.get()) != SQLITE_ROW) return false;
  const auto* blob = static_cast<const std::uint8_t*>(sqlite3_column_blob(s.get(), 0));
  const int n = sqlite3_column_bytes(s.get(), 0);
  return blob != nullptr && DecodeSignature(blob, static_cast<std::size_t>(n), signature);
}
