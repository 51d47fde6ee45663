// What every store of the signature index does, whichever engine keeps it:
// an SQLite file on this machine (index/sqlite_index.h) or a PostgreSQL
// database that several machines share (index/postgres_index.h). Users hold
// a SignatureIndex (index/signature_index.h), which picks one by the name.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "index/compact.h"
#include "index/file_stamp.h"
#include "index/library_roots.h"
#include "index/neighbour_index.h"
#include "retrieval/signature.h"

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

class IndexBackEnd {
 public:
  virtual ~IndexBackEnd() = default;

  // Opens (making when missing) the store name names. notice tells of a
  // repair; false with error set when no index can be opened.
  virtual bool Open(const std::string& name, IndexOwner owner, std::string& notice,
                    std::string& error) = 0;
  // How messages name the store (a server's password left out).
  virtual const std::string& file() const = 0;

  // Rows of a parameter set whose paths lie under dir (any depth), by path.
  virtual bool RowsUnder(const std::string& dir, const std::string& params,
                         std::vector<IndexRow>& rows) = 0;
  // The row of one path, false when there is none.
  virtual bool Find(const std::string& path, const std::string& params, IndexRow& row) = 0;
  // Paths of the rows under dir whose file could not be read, by path.
  virtual bool FailedUnder(const std::string& dir, const std::string& params,
                           std::vector<std::string>& paths) = 0;

  // Writes happen inside one transaction each batch: Begin, Put / Remove,
  // Commit. False on any database failure (the message is in lastError()).
  virtual bool Begin() = 0;
  virtual bool Commit() = 0;
  virtual bool Rollback() = 0;
  virtual bool Put(const std::string& path, const std::string& params, const FileStamp& stamp,
                   std::int32_t status, const Signature* signature) = 0;
  // A new stamp for a row whose file is unchanged (nothing is learned).
  virtual bool Restamp(std::int64_t id, const FileStamp& stamp) = 0;
  // Removes a path under every parameter set.
  virtual bool Remove(const std::string& path) = 0;
  virtual bool RemoveId(std::int64_t id) = 0;
  // Moves every row of from (under every parameter set) to the path to,
  // signatures and stamps kept; rows already at to are removed first. For a
  // file moved or renamed, which keeps what was learned of it.
  virtual bool RenamePath(const std::string& from, const std::string& to) = 0;
  // The stored paths under dir, of any parameter set, each once.
  virtual bool PathsUnder(const std::string& dir, std::vector<std::string>& paths) = 0;
  // Where this machine (host) keeps the library roots, and a root kept (a
  // name already kept moves to dir). No roots kept is no failure.
  virtual bool LoadRoots(const std::string& host, std::vector<LibraryRoot>& roots) = 0;
  virtual bool SaveRoot(const std::string& host, const LibraryRoot& root) = 0;
  // Removes rows whose blobs are damaged, in one transaction, so that the
  // next refresh learns their files again.
  virtual bool DropRows(const std::vector<std::int64_t>& ids) = 0;

  // The compact descriptors of readable rows under dir with the learning
  // flag; rows whose blob does not decode are listed in damaged instead.
  virtual bool LoadCompact(const std::string& dir, const std::string& params,
                           std::uint16_t learning, std::vector<CompactRow>& rows,
                           std::vector<std::int64_t>& damaged) = 0;
  // The whole signature of a row; false when it is missing or damaged, or
  // the database could not be read (then *databaseError is set, when given,
  // and lastError() says why).
  virtual bool LoadSignature(std::int64_t id, Signature& signature,
                             bool* databaseError = nullptr) = 0;
  // The stored bytes of a row's signature, not decoded; false when the row
  // is missing or the database could not be read (*databaseError set).
  virtual bool LoadSignatureBlob(std::int64_t id, std::vector<std::uint8_t>& blob,
                                 bool* databaseError = nullptr) = 0;

  // The first stage of a large library reads neighbour lists kept beside
  // the index (index/neighbour_index.h). A store that keeps none answers
  // false and "" (its rankings estimate every entry).
  // EntryStampOf: the state of the entries. ChangedSince: the ids of the
  // entries added, removed or changed after a generation, each once.
  // NeighbourFile: where the lists of a parameter set and learning flag are
  // kept. LargestId: the largest row id (0 for none), which bounds the
  // number of entries. VisitCompact: every readable row of a parameter set
  // and learning flag, streamed. LoadCompactOf: the readable rows of ids of
  // the parameter set and learning flag (missing ones are left out,
  // undecodable ones listed in damaged).
  virtual bool EntryStampOf(EntryStamp& /*stamp*/) { return false; }
  virtual bool ChangedSince(std::int64_t /*generation*/, std::vector<std::int64_t>& /*ids*/) {
    return false;
  }
  virtual std::string NeighbourFile(const std::string& /*params*/,
                                    std::uint16_t /*learning*/) const {
    return {};
  }
  virtual bool LargestId(std::int64_t& /*id*/) { return false; }
  virtual bool VisitCompact(
      const std::string& /*params*/, std::uint16_t /*learning*/,
      const std::function<void(std::int64_t, const CompactSignature&)>& /*visit*/) {
    return false;
  }
  virtual bool LoadCompactOf(const std::vector<std::int64_t>& /*ids*/,
                             const std::string& /*params*/, std::uint16_t /*learning*/,
                             std::vector<CompactRow>& /*rows*/,
                             std::vector<std::int64_t>& /*damaged*/) {
    return false;
  }

  virtual const std::string& lastError() const = 0;
  // Whether the store was found damaged since it was opened (then Rebuild).
  virtual bool damaged() const = 0;
  // Keeps the damaged store aside and makes a fresh one.
  virtual bool Rebuild(const std::string& reason, std::string& notice, std::string& error) = 0;
};

// The range of paths under a folder: [dir + "/", dir + "0"), "0" being the
// byte after "/".
std::string PathRangeLow(const std::string& dir);
std::string PathRangeHigh(const std::string& dir);
