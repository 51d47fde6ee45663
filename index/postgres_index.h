// The signature index in a PostgreSQL database, for a library that several
// machines index and search at once. The rows are those of the SQLite file
// (index/sqlite_index.h), in the schema "folim" of the database the
// connection string names; the schema is made on first use and carries its
// own version, and a database of a newer version is left alone.
//
// Writes are kept until Commit and then sent in one transaction, so that a
// transaction another machine's writes break (a deadlock on rows both
// store) is simply sent again; learning happens before, with nothing locked.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "index/index_back_end.h"

struct pg_conn;
struct pg_result;
class PgParams;

class PostgresIndex : public IndexBackEnd {
 public:
  static constexpr int kSchemaVersion = 1;

  PostgresIndex() = default;
  ~PostgresIndex() override;
  PostgresIndex(const PostgresIndex&) = delete;
  PostgresIndex& operator=(const PostgresIndex&) = delete;

  // Connects with the connection string (any libpq form) and makes or
  // checks the schema. The owner does not matter: a database is never
  // replaced. False with error set when the server cannot be reached, the
  // credentials are refused, or the schema is newer or not Folim's.
  bool Open(const std::string& connection, IndexOwner owner, std::string& notice,
            std::string& error) override;
  const std::string& file() const override { return name_; }

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
  // The log is made on first use, beside the schema's tables; triggers on
  // the entries keep it, whichever machine writes. The neighbour lists lie
  // in this machine's cache folder, named by the server and database.
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
  // The server keeps its own data sound: nothing here is ever "damaged".
  bool damaged() const override { return false; }
  bool Rebuild(const std::string& reason, std::string& notice, std::string& error) override;

 private:
  // A write kept until Commit.
  struct Write {
    enum class Kind { Put, Restamp, Remove, RemoveId, Rename } kind = Kind::Put;
    std::string path, params;
    std::string to;  // of a Rename
    FileStamp stamp;
    std::int64_t id = 0;
    std::int32_t status = 0;
    std::int64_t learning = 0;
    bool learned = false;  // compact and data hold a signature
    std::vector<std::uint8_t> compact, data;
  };
  pg_result* run(const char* sql, const PgParams& params);
  // The first column of a query over the paths under dir ($1, $2), with
  // the parameter set as $3 when one is given.
  bool pathsInRange(const char* sql, const std::string& dir, const std::string* params,
                    std::vector<std::string>& paths);
  pg_result* checked(pg_result* result);
  bool command(const char* sql);
  bool begin();
  bool end(const char* sql);  // COMMIT or ROLLBACK
  bool prepareSchema();
  bool prepareChangeLog();
  bool queue(Write write);
  bool send(const Write& write);
  bool sendAll();
  void close();

  pg_conn* conn_ = nullptr;
  std::string name_;
  std::string error_;
  std::string state_;  // the SQLSTATE of the last failure
  bool inTransaction_ = false;
  bool changeLogMade_ = false;
  bool batching_ = false;
  std::vector<Write> pending_;
};

// The connection string as messages show it: without its password.
std::string ConnectionForDisplay(const std::string& connection);
