// The signature index: one SQLite database file (WAL journal, so that the
// window and the command line may use it at the same time) holding one row
// per image file and parameter set: the path as bytes, the size and
// modification time it was read at, a status (0, or why the file could not
// be read: not retried until the file changes), the learning flag, the
// compact descriptor and the whole signature.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "index/compact.h"
#include "retrieval/signature.h"

struct sqlite3;
struct sqlite3_stmt;

// What the index knows of one file.
struct IndexRow {
  std::int64_t id = 0;
  std::string path;
  std::int64_t size = 0;
  std::int64_t mtime = 0;
  std::int32_t status = 0;
};

// One first-stage record of a ranking.
struct CompactRow {
  std::int64_t id = 0;
  std::string path;
  CompactSignature compact;
};

class SignatureIndex {
 public:
  static constexpr int kSchemaVersion = 1;

  SignatureIndex() = default;
  ~SignatureIndex();
  SignatureIndex(const SignatureIndex&) = delete;
  SignatureIndex& operator=(const SignatureIndex&) = delete;

  // Opens the database, creating it and its folder when missing. A file
  // that is damaged or is no Folim index is moved aside to FILE.damaged and
  // a fresh index is made in its place; notice then says so. False with
  // error set when no index can be opened at all (or the file was written by
  // a newer schema, which is left alone).
  bool Open(const std::string& file, std::string& notice, std::string& error);
  const std::string& file() const { return file_; }

  // Rows of a parameter set whose paths lie under dir (any depth), by path.
  bool RowsUnder(const std::string& dir, const std::string& params, std::vector<IndexRow>& rows);
  // The row of one path, false when there is none.
  bool Find(const std::string& path, const std::string& params, IndexRow& row);

  // Writes happen inside one transaction each batch: Begin, Put / Remove,
  // Commit. False on any database failure (the message is in lastError()).
  bool Begin();
  bool Commit();
  bool Rollback();
  bool Put(const std::string& path, const std::string& params, std::int64_t size,
           std::int64_t mtime, std::int32_t status, const Signature* signature);
  // Removes a path under every parameter set.
  bool Remove(const std::string& path);
  bool RemoveId(std::int64_t id);

  // The compact descriptors of readable rows under dir with the learning
  // flag; rows whose blob does not decode are listed in damaged instead.
  bool LoadCompact(const std::string& dir, const std::string& params, std::uint16_t learning,
                   std::vector<CompactRow>& rows, std::vector<std::int64_t>& damaged);
  // The whole signature of a row; false when it is missing or damaged.
  bool LoadSignature(std::int64_t id, Signature& signature);

  const std::string& lastError() const { return error_; }
  // Whether the last failure was the file's damage (then Rebuild).
  bool damaged() const;
  // Moves the file aside to FILE.damaged and makes a fresh index.
  bool Rebuild(const std::string& reason, std::string& notice, std::string& error);

 private:
  bool openFresh(std::string& error);
  struct SchemaState;
  bool prepareSchema(std::string& reason);
  bool readSchemaState(const char* begin, SchemaState& state, std::string& reason);
  bool readInt(const char* sql, int& value);
  bool createTables();
  bool ensureWal();
  bool failedRead(std::string& reason);
  bool moveAsideAndCreate(const std::string& reason, std::string& notice, std::string& error);
  bool exec(const char* sql);
  sqlite3_stmt* prepare(const char* sql);
  void close();

  sqlite3* db_ = nullptr;
  std::string file_;
  std::string error_;
};

// Where a damaged or foreign index file is kept when it is replaced.
std::string DamagedCopyPath(const std::string& file);

// The range of paths under a folder: [dir + "/", dir + "0"), "0" being the
// byte after "/".
std::string PathRangeLow(const std::string& dir);
std::string PathRangeHigh(const std::string& dir);
