#include "index/index_schema.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>

namespace {

bool run(sqlite3* db, const char* sql, std::string& error) {
  char* message = nullptr;
  const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
  if (rc == SQLITE_OK) return true;
  error = message != nullptr ? message : sqlite3_errstr(rc);
  sqlite3_free(message);
  return false;
}

// Version 1 took modification times from std::filesystem, whose clock need
// not count from 1970 (GNU's counts from 2174): the seconds between the two
// epochs, read off both clocks at once.
std::int64_t fileClockEpochSeconds() {
  using std::chrono::nanoseconds;
  const auto system =
      std::chrono::duration_cast<nanoseconds>(std::chrono::system_clock::now().time_since_epoch());
  const auto file = std::chrono::duration_cast<nanoseconds>(
      std::filesystem::file_time_type::clock::now().time_since_epoch());
  return std::chrono::round<std::chrono::seconds>(system - file).count();
}

// Schema 1 to 2: the stamp's new columns, and the old modification time
// (nanoseconds of the file clock) as seconds since 1970 and nanoseconds.
bool migrateFrom1(sqlite3* db, std::string& error) {
  if (!run(db,
           "ALTER TABLE entries ADD COLUMN mtime_ns INTEGER NOT NULL DEFAULT 0;"
           "ALTER TABLE entries ADD COLUMN ctime INTEGER;"
           "ALTER TABLE entries ADD COLUMN ctime_ns INTEGER;"
           "ALTER TABLE entries ADD COLUMN inode INTEGER;",
           error))
    return false;
  sqlite3_stmt* s = nullptr;
  // Division and remainder round toward zero: a time before the epoch
  // takes one second less and a positive remainder.
  if (sqlite3_prepare_v2(db,
                         "UPDATE entries SET"
                         " mtime_ns = ((mtime % 1000000000) + 1000000000) % 1000000000,"
                         " mtime = mtime / 1000000000 - (mtime % 1000000000 < 0) + ?1",
                         -1, &s, nullptr) != SQLITE_OK) {
    error = sqlite3_errmsg(db);
    return false;
  }
  sqlite3_bind_int64(s, 1, fileClockEpochSeconds());
  const int rc = sqlite3_step(s);
  sqlite3_finalize(s);
  if (rc != SQLITE_DONE) {
    error = sqlite3_errmsg(db);
    return false;
  }
  return run(db, "PRAGMA user_version=2", error);
}

}  // namespace

bool CreateIndexSchema(sqlite3* db, std::string& error) {
  // The columns in the order a file migrated from version 1 has them.
  return run(db,
             "CREATE TABLE entries ("
             " id INTEGER PRIMARY KEY,"
             " path BLOB NOT NULL,"
             " params TEXT NOT NULL,"
             " size INTEGER NOT NULL,"
             " mtime INTEGER NOT NULL,"
             " status INTEGER NOT NULL,"
             " learning INTEGER NOT NULL DEFAULT 0,"
             " compact BLOB,"
             " mtime_ns INTEGER NOT NULL DEFAULT 0,"
             " ctime INTEGER,"
             " ctime_ns INTEGER,"
             " inode INTEGER,"
             " UNIQUE (path, params))",
             error) &&
         // The whole signatures apart, so that the first stage of a ranking
         // reads the small rows only.
         run(db, "CREATE TABLE signatures (id INTEGER PRIMARY KEY, data BLOB NOT NULL)", error) &&
         run(db, "PRAGMA application_id=1181707369", error) &&
         run(db, "PRAGMA user_version=2", error);
}

bool MigrateIndexSchema(sqlite3* db, int from, std::string& error) {
  // One step per version, each from the one before.
  if (from < 2 && !migrateFrom1(db, error)) return false;
  return true;
}

bool CreateEntryChanges(sqlite3* db, std::string& error) {
  // An index made afresh in the place of another starts counting again;
  // the epoch tells its counts from the old file's.
  std::random_device random;
  const std::uint64_t epoch = (std::uint64_t{random()} << 31 ^ random()) & 0x3FFFFFFFFFFFFFFFull;
  const auto logged = [](const char* row) {
    return std::string(
               " BEGIN UPDATE entry_changes SET generation = generation + 1;"
               " INSERT INTO entry_log SELECT generation, ") +
           row + ".id FROM entry_changes; END;";
  };
  const std::string sql =
      "CREATE TABLE IF NOT EXISTS entry_changes (epoch INTEGER NOT NULL,"
      " generation INTEGER NOT NULL);"
      "CREATE TABLE IF NOT EXISTS entry_log (generation INTEGER PRIMARY KEY, id INTEGER NOT NULL);"
      "INSERT INTO entry_changes SELECT " +
      std::to_string(epoch) +
      ", 0 WHERE NOT EXISTS (SELECT 1 FROM entry_changes);"
      "CREATE TRIGGER IF NOT EXISTS entry_added AFTER INSERT ON entries" +
      logged("new") + "CREATE TRIGGER IF NOT EXISTS entry_removed AFTER DELETE ON entries" +
      logged("old") +
      "CREATE TRIGGER IF NOT EXISTS entry_changed"
      " AFTER UPDATE OF path, params, status, learning, compact ON entries" +
      logged("new") +
      // The failed entries of a folder without reading every row under it.
      "CREATE INDEX IF NOT EXISTS failed_entries ON entries (path, params) WHERE status != 0;";
  return run(db, sql.c_str(), error);
}
