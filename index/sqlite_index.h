// The signature index in one SQLite database file (WAL journal, so that the
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

#include "index/index_back_end.h"

struct sqlite3;
struct sqlite3_stmt;

class SqliteIndex : public IndexBackEnd {
 public:
  static constexpr int kSchemaVersion = 2;

  SqliteIndex() = default;
  ~SqliteIndex() override;
  SqliteIndex(const SqliteIndex&) = delete;
  SqliteIndex& operator=(const SqliteIndex&) = delete;

  // Opens the database, creating it and its folders when missing. A file
  // that is damaged or is no Folim index is moved aside to FILE.damaged and
  // a fresh index is made in its place (for a file of the user only when it
  // is a damaged Folim index); notice then says so. A file of an older
  // schema is brought up to date. False with error set when no index can be
  // opened at all: a path that is not a regular file, a file of the user
  // that is no Folim index (left untouched), a file written by a newer
  // schema (left alone), a folder or file that cannot be made or written.
  bool Open(const std::string& file, IndexOwner owner, std::string& notice,
            std::string& error) override;
  const std::string& file() const override { return file_; }

  bool RowsUnder(const std::string& dir, const std::string& params,
                 std::vector<IndexRow>& rows) override;
  bool Find(const std::string& path, const std::string& params, IndexRow& row) override;
  bool FailedUnder(const std::string& dir, const std::string& params,
                   std::vector<std::string>& paths) override;
  bool Begin() override;
  bool Commit() override;
  bool Rollback() override;
  bool Put(const std::string& path, const std::string& params, const FileStamp& stamp,
           std::int32_t status, const Signature* signature) override;
  bool Restamp(std::int64_t id, const FileStamp& stamp) override;
  bool Remove(const std::string& path) override;
  bool RemoveId(std::int64_t id) override;
  bool RenamePath(const std::string& from, const std::string& to) override;
  bool PathsUnder(const std::string& dir, std::vector<std::string>& paths) override;
  bool LoadRoots(const std::string& host, std::vector<LibraryRoot>& roots) override;
  bool SaveRoot(const std::string& host, const LibraryRoot& root) override;
  bool DropRows(const std::vector<std::int64_t>& ids) override;
  bool LoadCompact(const std::string& dir, const std::string& params, std::uint16_t learning,
                   std::vector<CompactRow>& rows, std::vector<std::int64_t>& damaged) override;
  bool LoadSignature(std::int64_t id, Signature& signature, bool* databaseError = nullptr) override;
  bool LoadSignatureBlob(std::int64_t id, std::vector<std::uint8_t>& blob,
                         bool* databaseError = nullptr) override;
  // The log is made on first use (in older files too); triggers on the
  // entries table keep it, whichever program writes.
  bool EntryStampOf(EntryStamp& stamp) override;
  bool ChangedSince(std::int64_t generation, std::vector<std::int64_t>& ids) override;
  std::string NeighbourFile(const std::string& params, std::uint16_t learning) const override;
  bool LargestId(std::int64_t& id) override;
  bool VisitCompact(
      const std::string& params, std::uint16_t learning,
      const std::function<void(std::int64_t, const CompactSignature&)>& visit) override;
  bool LoadCompactOf(const std::vector<std::int64_t>& ids, const std::string& params,
                     std::uint16_t learning, std::vector<CompactRow>& rows,
                     std::vector<std::int64_t>& damaged) override;

  const std::string& lastError() const override { return error_; }
  // Whether SQLite found the file damaged since it was opened (then
  // Rebuild): its own checks, not a blob that does not decode.
  bool damaged() const override { return damaged_; }
  // Moves the file aside to FILE.damaged and makes a fresh index, unless
  // another process has done so meanwhile (then its new index is opened).
  bool Rebuild(const std::string& reason, std::string& notice, std::string& error) override;

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
