// The signature index: one SQLite database file (WAL journal, so that the
// window and the command line may use it at the same time) holding one row
// per image file and parameter set: the path as bytes, the stamp it was
// read at (index/file_stamp.h), a status (0, or why the file could not be
// read: not retried until the file changes), the learning flag, the compact
// descriptor and the whole signature. The index and the folders made for it
// are private to the user (0600, 0700): its paths tell what a user keeps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "index/compact.h"
#include "index/file_stamp.h"
#include "retrieval/signature.h"

struct sqlite3;
struct sqlite3_stmt;

// What the index knows of one file.
struct IndexRow {
  std::int64_t id = 0;
  std::string path;
  FileStamp stamp;
  // False for a row carried over from schema 1: only the size and the
  // modification time of its stamp are known.
  bool wholeStamp = true;
  std::int32_t status = 0;
};

// One first-stage record of a ranking.
struct CompactRow {
  std::int64_t id = 0;
  std::string path;
  CompactSignature compact;
};

// Who chose the index file. Folim's own file (the default one) is a cache:
// when it is damaged or foreign it is moved aside and made afresh. A file the
// user named may hold anything, so it is only used, or replaced when
// damaged, when it is recognisably a Folim index (or empty, or missing).
enum class IndexOwner { Folim, User };

class SignatureIndex {
 public:
  static constexpr int kSchemaVersion = 2;

  SignatureIndex() = default;
  ~SignatureIndex();
  SignatureIndex(const SignatureIndex&) = delete;
  SignatureIndex& operator=(const SignatureIndex&) = delete;

  // Opens the database, creating it and its folders when missing. A file
  // that is damaged or is no Folim index is moved aside to FILE.damaged and
  // a fresh index is made in its place (for a file of the user only when it
  // is a damaged Folim index); notice then says so. A file of an older
  // schema is brought up to date. False with error set when no index can be
  // opened at all: a path that is not a regular file, a file of the user
  // that is no Folim index (left untouched), a file written by a newer
  // schema (left alone), a folder or file that cannot be made or written.
  bool Open(const std::string& file, IndexOwner owner, std::string& notice, std::string& error);
  bool Open(const std::string& file, std::string& notice, std::string& error) {
    return Open(file, IndexOwner::Folim, notice, error);
  }
  const std::string& file() const { return file_; }

  // Rows of a parameter set whose paths lie under dir (any depth), by path.
  bool RowsUnder(const std::string& dir, const std::string& params, std::vector<IndexRow>& rows);
  // The row of one path, false when there is none.
  bool Find(const std::string& path, const std::string& params, IndexRow& row);
  // Paths of the rows under dir whose file could not be read, by path.
  bool FailedUnder(const std::string& dir, const std::string& params,
                   std::vector<std::string>& paths);

  // Writes happen inside one transaction each batch: Begin, Put / Remove,
  // Commit. False on any database failure (the message is in lastError()).
  bool Begin();
  bool Commit();
  bool Rollback();
  bool Put(const std::string& path, const std::string& params, const FileStamp& stamp,
           std::int32_t status, const Signature* signature);
  // A new stamp for a row whose file is unchanged (nothing is learned).
  bool Restamp(std::int64_t id, const FileStamp& stamp);
  // Removes a path under every parameter set.
  bool Remove(const std::string& path);
  bool RemoveId(std::int64_t id);
  // Moves every row of from (under every parameter set) to the path to,
  // signatures and stamps kept; rows already at to are removed first. For a
  // file moved or renamed, which keeps what was learned of it.
  bool RenamePath(const std::string& from, const std::string& to);
  // Removes rows whose blobs are damaged, in one transaction, so that the
  // next refresh learns their files again.
  bool DropRows(const std::vector<std::int64_t>& ids);

  // The compact descriptors of readable rows under dir with the learning
  // flag; rows whose blob does not decode are listed in damaged instead.
  bool LoadCompact(const std::string& dir, const std::string& params, std::uint16_t learning,
                   std::vector<CompactRow>& rows, std::vector<std::int64_t>& damaged);
  // The whole signature of a row; false when it is missing or damaged, or
  // the database could not be read (then *databaseError is set, when given,
  // and lastError() says why).
  bool LoadSignature(std::int64_t id, Signature& signature, bool* databaseError = nullptr);

  const std::string& lastError() const { return error_; }
  // Whether SQLite found the file damaged since it was opened (then
  // Rebuild): its own checks, not a blob that does not decode.
  bool damaged() const { return damaged_; }
  // Moves the file aside to FILE.damaged and makes a fresh index, unless
  // another process has done so meanwhile (then its new index is opened).
  bool Rebuild(const std::string& reason, std::string& notice, std::string& error);

 private:
  bool openFresh(std::string& error);
  struct SchemaState;
  bool prepareSchema(std::string& reason);
  bool readSchemaState(const char* begin, SchemaState& state, std::string& reason);
  bool readInt(const char* sql, int& value);
  bool createOrMigrate(SchemaState& state, std::string& reason);
  bool ensureWal();
  bool failedRead(std::string& reason);
  bool prepareFile(std::string& error);
  bool moveAsideAndCreate(const std::string& reason, bool force, std::string& notice,
                          std::string& error);
  bool failed();
  bool exec(const char* sql);
  bool step(sqlite3_stmt* statement);
  sqlite3_stmt* prepare(const char* sql);
  std::string withCause(const std::string& message) const;
  void close();

  sqlite3* db_ = nullptr;
  std::string file_;
  IndexOwner owner_ = IndexOwner::Folim;
  std::string error_;
  bool damaged_ = false;
  // The file opened, to tell it from a new index another process has made
  // in its place.
  unsigned long long device_ = 0, inode_ = 0;
};

// Where a damaged or foreign index file is kept when it is replaced.
std::string DamagedCopyPath(const std::string& file);

// The range of paths under a folder: [dir + "/", dir + "0"), "0" being the
// byte after "/".
std::string PathRangeLow(const std::string& dir);
std::string PathRangeHigh(const std::string& dir);
