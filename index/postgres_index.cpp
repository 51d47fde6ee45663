#include "index/postgres_index.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <thread>
#include <utility>

#include "index/index_location.h"
#include "index/index_schema.h"
#include "index/libpq_library.h"
#include "index/postgres_statement.h"
#include "index/signature_blob.h"

namespace {

// Another machine's transaction broke ours (a deadlock, or a row it removed
// while ours wrote beside it): sending ours again succeeds.
bool worthRetrying(const std::string& state) {
  return state == "40P01" || state == "40001" || state == "23503" || state == "23505";
}
constexpr int kRetries = 50;
constexpr int kReconnects = 2;

// A server that does not answer is given up after this many seconds, unless
// the connection string says otherwise.
constexpr const char* kConnectTimeout = "10";

// libpq's messages run over several lines; a message here is one line.
std::string oneLine(const char* message) {
  std::string out;
  bool blank = false;
  for (const char* p = message; p != nullptr && *p != '\0'; ++p) {
    const bool space = *p == '\n' || *p == '\t' || *p == ' ';
    if (space) {
      blank = !out.empty();
      continue;
    }
    if (blank) out += ' ';
    blank = false;
    out += *p;
  }
  return out;
}

void ignoreNotice(void*, const char*) {}

#define FOLIM_STAMP_COLUMNS "size, mtime, mtime_ns, ctime, ctime_ns, inode"

// Version 1 of the schema: the tables of the SQLite file's version 2, and
// the version in a table of its own. A row's signature goes with it.
constexpr const char* kCreateSchema =
    "CREATE SCHEMA IF NOT EXISTS folim;"
    "CREATE TABLE folim.version (version integer NOT NULL);"
    "CREATE TABLE folim.entries ("
    " id bigserial PRIMARY KEY,"
    " path bytea NOT NULL,"
    " params text NOT NULL,"
    " size bigint NOT NULL,"
    " mtime bigint NOT NULL,"
    " mtime_ns bigint NOT NULL DEFAULT 0,"
    " ctime bigint,"
    " ctime_ns bigint,"
    " inode bigint,"
    " status bigint NOT NULL,"
    " learning bigint NOT NULL DEFAULT 0,"
    " compact bytea,"
    " UNIQUE (path, params));"
    "CREATE TABLE folim.signatures ("
    " id bigint PRIMARY KEY REFERENCES folim.entries (id) ON DELETE CASCADE,"
    " data bytea NOT NULL);"
    "INSERT INTO folim.version VALUES (1);";

// The rows of a result of id, path and compact: those whose descriptor
// decodes with the learning flag, the others' ids in damaged.
void compactRowsOf(const PGresult* r, std::uint16_t learning, std::vector<CompactRow>& rows,
                   std::vector<std::int64_t>& damaged) {
  const int n = libpq().ntuples(r);
  rows.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    CompactRow row;
    row.id = integerAt(r, i, 0);
    const auto* blob = reinterpret_cast<const std::uint8_t*>(libpq().getvalue(r, i, 2));
    const auto size = static_cast<std::size_t>(libpq().getlength(r, i, 2));
    if (libpq().getisnull(r, i, 2) || !DecodeCompact(blob, size, row.compact) ||
        row.compact.learningMethod != learning) {
      damaged.push_back(row.id);
      continue;
    }
    row.path = bytesAt(r, i, 1);
    rows.push_back(std::move(row));
  }
}

// The log of changes to the entries (see CreateEntryChanges for the SQLite
// file's), made beside the tables of version 1 without changing it. The
// one-row counter serialises the writers' transactions only while each
// commits its batch.
constexpr const char* kCreateChangeLog =
    "CREATE TABLE IF NOT EXISTS folim.entry_changes (epoch bigint NOT NULL,"
    " generation bigint NOT NULL);"
    "CREATE TABLE IF NOT EXISTS folim.entry_log (generation bigint PRIMARY KEY,"
    " id bigint NOT NULL);"
    "INSERT INTO folim.entry_changes"
    " SELECT (random() * 4.6e18)::bigint, 0 WHERE NOT EXISTS (SELECT 1 FROM folim.entry_changes);"
    "CREATE OR REPLACE FUNCTION folim.log_entry_change() RETURNS trigger LANGUAGE plpgsql AS $$"
    " BEGIN"
    "  UPDATE folim.entry_changes SET generation = generation + 1;"
    "  INSERT INTO folim.entry_log SELECT generation,"
    "   CASE WHEN TG_OP = 'DELETE' THEN OLD.id ELSE NEW.id END FROM folim.entry_changes;"
    "  RETURN NULL;"
    " END $$;"
    "DROP TRIGGER IF EXISTS entry_added ON folim.entries;"
    "DROP TRIGGER IF EXISTS entry_removed ON folim.entries;"
    "DROP TRIGGER IF EXISTS entry_changed ON folim.entries;"
    "CREATE TRIGGER entry_added AFTER INSERT ON folim.entries"
    " FOR EACH ROW EXECUTE FUNCTION folim.log_entry_change();"
    "CREATE TRIGGER entry_removed AFTER DELETE ON folim.entries"
    " FOR EACH ROW EXECUTE FUNCTION folim.log_entry_change();"
    "CREATE TRIGGER entry_changed"
    " AFTER UPDATE OF path, params, status, learning, compact ON folim.entries"
    " FOR EACH ROW EXECUTE FUNCTION folim.log_entry_change();"
    // The failed entries of a folder without reading every row under it.
    "CREATE INDEX IF NOT EXISTS failed_entries ON folim.entries (path, params)"
    " WHERE status != 0;";

}  // namespace

std::string ConnectionForDisplay(const std::string& connection) {
  // Without the library to read it, nothing of the string is shown: it may
  // hold a password.
  if (LoadLibPq() == nullptr) return "a PostgreSQL server";
  PQconninfoOption* options = libpq().conninfoParse(connection.c_str(), nullptr);
  if (options == nullptr) return connection;
  bool password = false;
  std::string shown;
  for (const PQconninfoOption* o = options; o->keyword != nullptr; ++o) {
    if (o->val == nullptr) continue;
    if (std::strcmp(o->keyword, "password") == 0) {
      password = true;
      continue;
    }
    if (!shown.empty()) shown += ' ';
    shown += std::string(o->keyword) + "=" + o->val;
  }
  libpq().conninfoFree(options);
  return password ? shown : connection;
}

PostgresIndex::~PostgresIndex() { close(); }

void PostgresIndex::close() {
  if (conn_ != nullptr) libpq().finish(conn_);
  conn_ = nullptr;
  batching_ = false;
  pending_.clear();
}

// Runs one statement; null (error_ and state_ set) when it failed. A
// connection the server dropped is made again, but never inside a
// transaction: the rest of it would be written without the beginning.
PGresult* PostgresIndex::run(const char* sql, const PgParams& params) {
  if (conn_ == nullptr) {
    error_ = "the index is not open";
    return nullptr;
  }
  if (libpq().status(conn_) == CONNECTION_BAD && !inTransaction_) libpq().reset(conn_);
  return checked(params.exec(conn_, sql));
}

PGresult* PostgresIndex::checked(PGresult* r) {
  const ExecStatusType status = libpq().resultStatus(r);
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return r;
  const char* state = r != nullptr ? libpq().resultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
  state_ = state != nullptr ? state : "";
  error_ = oneLine(r != nullptr ? libpq().resultErrorMessage(r) : libpq().errorMessage(conn_));
  if (error_.empty()) error_ = oneLine(libpq().errorMessage(conn_));
  libpq().clear(r);
  return nullptr;
}

// Statements without parameters or results, several in one text.
bool PostgresIndex::command(const char* sql) {
  if (conn_ == nullptr) {
    error_ = "the index is not open";
    return false;
  }
  if (libpq().status(conn_) == CONNECTION_BAD && !inTransaction_) libpq().reset(conn_);
  return PgResult(checked(libpq().exec(conn_, sql))).r != nullptr;
}

bool PostgresIndex::begin() {
  inTransaction_ = command("BEGIN");
  return inTransaction_;
}

bool PostgresIndex::end(const char* sql) {
  inTransaction_ = false;
  return command(sql);
}

bool PostgresIndex::Open(const std::string& connection, IndexOwner, std::string& notice,
                         std::string& error) {
  close();
  notice.clear();
  error.clear();
  error_.clear();
  name_ = ConnectionForDisplay(connection);
  // The string's own values come after the defaults and so override them.
  const char* const keys[] = {"connect_timeout", "fallback_application_name", "dbname", nullptr};
  const char* const values[] = {kConnectTimeout, "folim", connection.c_str(), nullptr};
  if (LoadLibPq(&error) == nullptr) return false;
  conn_ = libpq().connectdbParams(keys, values, 1);
  if (conn_ == nullptr || libpq().status(conn_) != CONNECTION_OK) {
    error = conn_ != nullptr ? oneLine(libpq().errorMessage(conn_)) : "out of memory";
    close();
    return false;
  }
  libpq().setNoticeProcessor(conn_, ignoreNotice, nullptr);
  if (!prepareSchema()) {
    error = error_;
    close();
    return false;
  }
  return true;
}

// Reads the schema's version, making the schema when the database has none.
// Several machines may start at once: the first to take the lock makes it,
// the others then find it made.
bool PostgresIndex::prepareSchema() {
  if (!begin()) return false;
  const auto fail = [this](std::string why) {
    end("ROLLBACK");
    if (!why.empty()) error_ = std::move(why);
    return false;
  };
  PgParams lock;
  lock.integer(kIndexApplicationId);
  if (!PgResult(run("SELECT pg_advisory_xact_lock($1::bigint)", lock))) return fail({});
  PgResult tables(
      run("SELECT to_regclass('folim.version') IS NOT NULL,"
          " to_regclass('folim.entries') IS NOT NULL",
          PgParams()));
  if (!tables) return fail({});
  const bool hasVersion = *libpq().getvalue(tables.r, 0, 0) != 0;
  const bool hasEntries = *libpq().getvalue(tables.r, 0, 1) != 0;
  if (!hasVersion && hasEntries)
    return fail("the schema folim of the database is not a Folim index; it is left as it is");
  if (!hasVersion && !command(kCreateSchema)) return fail("cannot make the index: " + error_);
  PgResult version(run("SELECT max(version) FROM folim.version", PgParams()));
  if (!version) return fail({});
  if (libpq().getisnull(version.r, 0, 0)) return fail("the index has no schema version");
  const std::int64_t found = integerAt(version.r, 0, 0);
  if (found > kSchemaVersion)
    return fail("made by a newer version of Folim (schema " + std::to_string(found) + ")");
  return end("COMMIT") || fail({});
}

bool PostgresIndex::RowsUnder(const std::string& dir, const std::string& params,
                              std::vector<IndexRow>& rows) {
  rows.clear();
  PgParams p;
  p.bytes(PathRangeLow(dir));
  p.bytes(PathRangeHigh(dir));
  p.text(params);
  PgResult r(run("SELECT id, path, " FOLIM_STAMP_COLUMNS ", status FROM folim.entries"
                 " WHERE path >= $1 AND path < $2 AND params = $3 ORDER BY path",
                 p));
  if (!r) return false;
  const int n = libpq().ntuples(r.r);
  rows.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    IndexRow row;
    row.id = integerAt(r.r, i, 0);
    row.path = bytesAt(r.r, i, 1);
    row.wholeStamp = stampAt(r.r, i, 2, row.stamp);
    row.status = static_cast<std::int32_t>(integerAt(r.r, i, 8));
    rows.push_back(std::move(row));
  }
  return true;
}

bool PostgresIndex::Find(const std::string& path, const std::string& params, IndexRow& row) {
  PgParams p;
  p.bytes(path);
  p.text(params);
  PgResult r(run("SELECT id, " FOLIM_STAMP_COLUMNS
                 ", status FROM folim.entries WHERE path = $1 AND params = $2",
                 p));
  if (!r || libpq().ntuples(r.r) == 0) return false;
  row.id = integerAt(r.r, 0, 0);
  row.path = path;
  row.wholeStamp = stampAt(r.r, 0, 1, row.stamp);
  row.status = static_cast<std::int32_t>(integerAt(r.r, 0, 7));
  return true;
}

bool PostgresIndex::pathsInRange(const char* sql, const std::string& dir, const std::string* params,
                                 std::vector<std::string>& paths) {
  paths.clear();
  PgParams p;
  p.bytes(PathRangeLow(dir));
  p.bytes(PathRangeHigh(dir));
  if (params != nullptr) p.text(*params);
  PgResult r(run(sql, p));
  if (!r) return false;
  for (int i = 0; i < libpq().ntuples(r.r); ++i) paths.push_back(bytesAt(r.r, i, 0));
  return true;
}

bool PostgresIndex::FailedUnder(const std::string& dir, const std::string& params,
                                std::vector<std::string>& paths) {
  return pathsInRange(
      "SELECT path FROM folim.entries WHERE path >= $1 AND path < $2 AND params = $3"
      " AND status != 0 ORDER BY path",
      dir, &params, paths);
}

bool PostgresIndex::PathsUnder(const std::string& dir, std::vector<std::string>& paths) {
  return pathsInRange(
      "SELECT DISTINCT path FROM folim.entries WHERE path >= $1 AND path < $2 ORDER BY path", dir,
      nullptr, paths);
}

// The roots live in a table of their own, made when the first is kept: a
// database without roots is as it always was.
bool PostgresIndex::LoadRoots(const std::string& host, std::vector<LibraryRoot>& roots) {
  roots.clear();
  PgResult exists(run("SELECT to_regclass('folim.roots') IS NOT NULL", PgParams()));
  if (!exists) return false;
  if (*libpq().getvalue(exists.r, 0, 0) == 0) return true;  // binary: one byte
  PgParams p;
  p.bytes(host);
  PgResult r(run("SELECT name, dir FROM folim.roots WHERE host = $1 ORDER BY name", p));
  if (!r) return false;
  for (int i = 0; i < libpq().ntuples(r.r); ++i)
    roots.push_back({bytesAt(r.r, i, 0), bytesAt(r.r, i, 1)});
  return true;
}

bool PostgresIndex::SaveRoot(const std::string& host, const LibraryRoot& root) {
  if (!PgResult(run("CREATE TABLE IF NOT EXISTS folim.roots (host bytea NOT NULL,"
                    " name bytea NOT NULL, dir bytea NOT NULL, PRIMARY KEY (host, name))",
                    PgParams())))
    return false;
  PgParams p;
  p.bytes(host);
  p.bytes(root.name);
  p.bytes(root.dir);
  return static_cast<bool>(
      PgResult(run("INSERT INTO folim.roots (host, name, dir) VALUES ($1, $2, $3)"
                   " ON CONFLICT (host, name) DO UPDATE SET dir = EXCLUDED.dir",
                   p)));
}

bool PostgresIndex::Begin() {
  pending_.clear();
  batching_ = true;
  return true;
}

bool PostgresIndex::Rollback() {
  pending_.clear();
  batching_ = false;
  return true;
}

bool PostgresIndex::Commit() {
  batching_ = false;
  const bool ok = sendAll();
  pending_.clear();
  return ok;
}

// Outside Begin and Commit a write is a transaction of its own.
bool PostgresIndex::queue(Write write) {
  if (batching_) {
    pending_.push_back(std::move(write));
    return true;
  }
  pending_.assign(1, std::move(write));
  return Commit();
}

bool PostgresIndex::Put(const std::string& path, const std::string& params, const FileStamp& stamp,
                        std::int32_t status, const Signature* signature) {
  Write w;
  w.kind = Write::Kind::Put;
  w.path = path;
  w.params = params;
  w.stamp = stamp;
  w.status = status;
  if (signature != nullptr) {
    w.learned = true;
    w.learning = signature->learningMethod;
    w.compact = EncodeCompact(MakeCompact(*signature));
    w.data = EncodeSignature(*signature);
  }
  return queue(std::move(w));
}

bool PostgresIndex::Restamp(std::int64_t id, const FileStamp& stamp) {
  Write w;
  w.kind = Write::Kind::Restamp;
  w.id = id;
  w.stamp = stamp;
  return queue(std::move(w));
}

bool PostgresIndex::Remove(const std::string& path) {
  Write w;
  w.kind = Write::Kind::Remove;
  w.path = path;
  return queue(std::move(w));
}

bool PostgresIndex::RenamePath(const std::string& from, const std::string& to) {
  if (from == to) return true;
  Write w;
  w.kind = Write::Kind::Rename;
  w.path = from;
  w.to = to;
  return queue(std::move(w));
}

bool PostgresIndex::RemoveId(std::int64_t id) {
  Write w;
  w.kind = Write::Kind::RemoveId;
  w.id = id;
  return queue(std::move(w));
}

bool PostgresIndex::DropRows(const std::vector<std::int64_t>& ids) {
  if (ids.empty()) return true;
  Begin();
  for (std::int64_t id : ids) RemoveId(id);
  return Commit();
}

bool PostgresIndex::send(const Write& w) {
  PgParams p;
  switch (w.kind) {
    case Write::Kind::Put: {
      p.bytes(w.path);
      p.text(w.params);
      p.stamp(w.stamp);
      p.integer(w.status);
      p.integer(w.learning);
      if (w.learned)
        p.bytes(w.compact);
      else
        p.null();
      PgResult r(run("INSERT INTO folim.entries (path, params, " FOLIM_STAMP_COLUMNS
                     ", status, learning, compact)"
                     " VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11)"
                     " ON CONFLICT (path, params) DO UPDATE SET size = excluded.size,"
                     " mtime = excluded.mtime, mtime_ns = excluded.mtime_ns,"
                     " ctime = excluded.ctime, ctime_ns = excluded.ctime_ns,"
                     " inode = excluded.inode, status = excluded.status,"
                     " learning = excluded.learning, compact = excluded.compact"
                     " RETURNING id",
                     p));
      if (!r) return false;
      PgParams s;
      s.integer(integerAt(r.r, 0, 0));
      if (!w.learned) return PgResult(run("DELETE FROM folim.signatures WHERE id = $1", s)).r;
      s.bytes(w.data);
      return PgResult(run("INSERT INTO folim.signatures (id, data) VALUES ($1, $2)"
                          " ON CONFLICT (id) DO UPDATE SET data = excluded.data",
                          s))
          .r;
    }
    case Write::Kind::Restamp:
      p.stamp(w.stamp);
      p.integer(w.id);
      return PgResult(run("UPDATE folim.entries SET size = $1, mtime = $2, mtime_ns = $3,"
                          " ctime = $4, ctime_ns = $5, inode = $6 WHERE id = $7",
                          p))
          .r;
    case Write::Kind::Remove:
      p.bytes(w.path);
      return PgResult(run("DELETE FROM folim.entries WHERE path = $1", p)).r;
    case Write::Kind::RemoveId:
      p.integer(w.id);
      return PgResult(run("DELETE FROM folim.entries WHERE id = $1", p)).r;
    case Write::Kind::Rename: {
      PgParams taken;
      taken.bytes(w.to);
      if (!PgResult(run("DELETE FROM folim.entries WHERE path = $1", taken)).r) return false;
      p.bytes(w.path);
      p.bytes(w.to);
      return PgResult(run("UPDATE folim.entries SET path = $2 WHERE path = $1", p)).r;
    }
  }
  return false;
}

// Sends the kept writes in one transaction, again after a pause when
// another machine's transaction broke it. Rows stored in the order of their
// paths take their locks in one order on every machine, which keeps
// deadlocks rare.
bool PostgresIndex::sendAll() {
  if (pending_.empty()) return true;
  if (std::all_of(pending_.begin(), pending_.end(),
                  [](const Write& w) { return w.kind == Write::Kind::Put; }))
    std::sort(pending_.begin(), pending_.end(),
              [](const Write& a, const Write& b) { return a.path < b.path; });
  std::minstd_rand random(
      static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
  for (int attempt = 0;; ++attempt) {
    bool ok = begin();
    for (std::size_t i = 0; ok && i < pending_.size(); ++i) ok = send(pending_[i]);
    if (ok && end("COMMIT")) return true;
    const std::string error = error_, state = state_;
    // A connection the server dropped is made again (by the rollback) and
    // the batch sent whole: the server rolled back what it had of it, and a
    // batch that reached it all the same writes the same rows again.
    const bool dropped = libpq().status(conn_) == CONNECTION_BAD;
    end("ROLLBACK");
    error_ = error;
    if (dropped ? attempt >= kReconnects : !worthRetrying(state) || attempt == kRetries)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1 + random() % (10 + 10 * attempt)));
  }
}

bool PostgresIndex::LoadCompact(const std::string& dir, const std::string& params,
                                std::uint16_t learning, std::vector<CompactRow>& rows,
                                std::vector<std::int64_t>& damaged) {
  rows.clear();
  damaged.clear();
  PgParams p;
  p.bytes(PathRangeLow(dir));
  p.bytes(PathRangeHigh(dir));
  p.text(params);
  p.integer(learning);
  PgResult r(
      run("SELECT id, path, compact FROM folim.entries WHERE path >= $1 AND path < $2"
          " AND params = $3 AND status = 0 AND learning = $4",
          p));
  if (!r) return false;
  compactRowsOf(r.r, learning, rows, damaged);
  return true;
}

bool PostgresIndex::LoadSignature(std::int64_t id, Signature& signature, bool* databaseError) {
  if (databaseError != nullptr) *databaseError = false;
  PgParams p;
  p.integer(id);
  PgResult r(run("SELECT data FROM folim.signatures WHERE id = $1", p));
  if (!r) {
    if (databaseError != nullptr) *databaseError = true;
    return false;
  }
  if (libpq().ntuples(r.r) == 0) return false;
  const auto* blob = reinterpret_cast<const std::uint8_t*>(libpq().getvalue(r.r, 0, 0));
  return DecodeSignature(blob, static_cast<std::size_t>(libpq().getlength(r.r, 0, 0)), signature);
}

bool PostgresIndex::LoadSignatureBlob(std::int64_t id, std::vector<std::uint8_t>& blob,
                                      bool* databaseError) {
  if (databaseError != nullptr) *databaseError = false;
  blob.clear();
  PgParams p;
  p.integer(id);
  PgResult r(run("SELECT data FROM folim.signatures WHERE id = $1", p));
  if (!r) {
    if (databaseError != nullptr) *databaseError = true;
    return false;
  }
  if (libpq().ntuples(r.r) == 0) return false;
  const auto* data = reinterpret_cast<const std::uint8_t*>(libpq().getvalue(r.r, 0, 0));
  blob.assign(data, data + libpq().getlength(r.r, 0, 0));
  return true;
}

bool PostgresIndex::Rebuild(const std::string& reason, std::string& notice, std::string& error) {
  notice.clear();
  error = "the index on the server cannot be rebuilt by Folim (" + reason + ")";
  return false;
}

// Made once, under the schema's lock, by the first machine to rank a large
// library; the others find it made.
bool PostgresIndex::prepareChangeLog() {
  if (changeLogMade_) return true;
  const auto isMade = [this](bool& made) {
    PgResult r(run("SELECT to_regclass('folim.failed_entries') IS NOT NULL", PgParams()));
    if (!r) return false;
    made = *libpq().getvalue(r.r, 0, 0) != 0;
    return true;
  };
  bool made = false;
  if (!isMade(made)) return false;
  if (!made) {
    if (!begin()) return false;
    PgParams lock;
    lock.integer(kIndexApplicationId);
    if (!PgResult(run("SELECT pg_advisory_xact_lock($1::bigint)", lock)) || !isMade(made) ||
        (!made && !command(kCreateChangeLog))) {
      end("ROLLBACK");
      return false;
    }
    if (!end("COMMIT")) return false;
  }
  changeLogMade_ = true;
  return true;
}

bool PostgresIndex::EntryStampOf(EntryStamp& stamp) {
  if (!prepareChangeLog()) return false;
  PgResult r(run("SELECT epoch, generation FROM folim.entry_changes", PgParams()));
  if (!r || libpq().ntuples(r.r) != 1) return false;
  stamp.epoch = integerAt(r.r, 0, 0);
  stamp.generation = integerAt(r.r, 0, 1);
  return true;
}

bool PostgresIndex::ChangedSince(std::int64_t generation, std::vector<std::int64_t>& ids) {
  ids.clear();
  PgParams p;
  p.integer(generation);
  PgResult r(run("SELECT DISTINCT id FROM folim.entry_log WHERE generation > $1", p));
  if (!r) return false;
  for (int i = 0; i < libpq().ntuples(r.r); ++i) ids.push_back(integerAt(r.r, i, 0));
  return true;
}

std::string PostgresIndex::NeighbourFile(const std::string& params, std::uint16_t learning) const {
  const std::string index = defaultIndexPath();
  if (index.empty()) return {};
  const std::string folder = index.substr(0, index.rfind('/'));
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  const std::string server = name_ + '\n' + params;
  char name[64];
  std::snprintf(name, sizeof name, "/neighbours-%08x-%u",
                static_cast<unsigned>(crc32(0L, reinterpret_cast<const Bytef*>(server.data()),
                                            static_cast<uInt>(server.size()))),
                static_cast<unsigned>(learning));
  return folder + name;
}

bool PostgresIndex::LargestId(std::int64_t& id) {
  PgResult r(run("SELECT coalesce(max(id), 0) FROM folim.entries", PgParams()));
  if (!r) return false;
  id = integerAt(r.r, 0, 0);
  return true;
}

bool PostgresIndex::VisitCompact(
    const std::string& params, std::uint16_t learning,
    const std::function<void(std::int64_t, const CompactSignature&)>& visit) {
  // A cursor, so that a large library is never held whole in memory.
  if (!begin()) return false;
  PgParams p;
  p.text(params);
  p.integer(learning);
  if (!PgResult(run("DECLARE compacts NO SCROLL CURSOR FOR SELECT id, compact FROM folim.entries"
                    " WHERE params = $1 AND status = 0 AND learning = $2 ORDER BY id",
                    p))) {
    end("ROLLBACK");
    return false;
  }
  CompactSignature compact;
  for (;;) {
    PgResult r(run("FETCH FORWARD 8192 FROM compacts", PgParams()));
    if (!r) {
      end("ROLLBACK");
      return false;
    }
    const int n = libpq().ntuples(r.r);
    if (n == 0) break;
    for (int i = 0; i < n; ++i) {
      const auto* blob = reinterpret_cast<const std::uint8_t*>(libpq().getvalue(r.r, i, 1));
      const auto size = static_cast<std::size_t>(libpq().getlength(r.r, i, 1));
      if (!libpq().getisnull(r.r, i, 1) && DecodeCompact(blob, size, compact) &&
          compact.learningMethod == learning)
        visit(integerAt(r.r, i, 0), compact);
    }
  }
  return end("COMMIT");
}

bool PostgresIndex::LoadCompactOf(const std::vector<std::int64_t>& ids, const std::string& params,
                                  std::uint16_t learning, std::vector<CompactRow>& rows,
                                  std::vector<std::int64_t>& damaged) {
  rows.clear();
  damaged.clear();
  std::string array = "{";
  for (const std::int64_t id : ids) array += (array.size() > 1 ? "," : "") + std::to_string(id);
  array += "}";
  PgParams p;
  p.text(array);
  p.text(params);
  p.integer(learning);
  // In the order of the ids, as the file's index gives them.
  PgResult r(
      run("SELECT id, path, compact FROM folim.entries WHERE id = ANY($1::bigint[])"
          " AND params = $2 AND status = 0 AND learning = $3 ORDER BY id",
          p));
  if (!r) return false;
  compactRowsOf(r.r, learning, rows, damaged);
  return true;
}
