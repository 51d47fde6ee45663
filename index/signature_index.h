// The signature index: one row per image file and parameter set (the path
// as bytes, the stamp it was read at, a status, the learning flag, the
// compact descriptor and the whole signature), kept by one of two engines.
// A file name chooses the embedded SQLite file (index/sqlite_index.h); a
// PostgreSQL connection string chooses a database on a server, which several
// machines may share (index/postgres_index.h).
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "index/index_back_end.h"

class SignatureIndex {
 public:
  static constexpr int kSchemaVersion = 2;

  SignatureIndex();
  ~SignatureIndex();
  SignatureIndex(const SignatureIndex&) = delete;
  SignatureIndex& operator=(const SignatureIndex&) = delete;

  // Opens the index name names: a PostgreSQL connection string
  // (IsServerIndexName) or an SQLite file (see SqliteIndex::Open).
  bool Open(const std::string& name, IndexOwner owner, std::string& notice, std::string& error);
  bool Open(const std::string& name, std::string& notice, std::string& error) {
    return Open(name, IndexOwner::Folim, notice, error);
  }
  const std::string& file() const { return store_->file(); }

  // Paths here are as this machine spells them; under a library root the
  // index keeps them by the root's name (index/library_roots.h).
  bool RowsUnder(const std::string& dir, const std::string& params, std::vector<IndexRow>& rows);
  bool Find(const std::string& path, const std::string& params, IndexRow& row);
  bool FailedUnder(const std::string& dir, const std::string& params,
                   std::vector<std::string>& paths);
  bool Begin() { return store_->Begin(); }
  bool Commit() { return store_->Commit(); }
  bool Rollback() { return store_->Rollback(); }
  bool Put(const std::string& path, const std::string& params, const FileStamp& stamp,
           std::int32_t status, const Signature* signature) {
    return store_->Put(roots_.ToStored(path), params, stamp, status, signature);
  }
  bool Restamp(std::int64_t id, const FileStamp& stamp) { return store_->Restamp(id, stamp); }
  bool Remove(const std::string& path) { return store_->Remove(roots_.ToStored(path)); }
  bool RemoveId(std::int64_t id) { return store_->RemoveId(id); }
  bool RenamePath(const std::string& from, const std::string& to) {
    return store_->RenamePath(roots_.ToStored(from), roots_.ToStored(to));
  }
  bool DropRows(const std::vector<std::int64_t>& ids) { return store_->DropRows(ids); }
  bool LoadCompact(const std::string& dir, const std::string& params, std::uint16_t learning,
                   std::vector<CompactRow>& rows, std::vector<std::int64_t>& damaged);
  // The whole signature of a row; false when it is missing or damaged, or
  // the database could not be read (then *databaseError is set, when given,
  // and lastError() says why).
  bool LoadSignature(std::int64_t id, Signature& signature, bool* databaseError = nullptr);
  // The stored whole signatures of ids (see IndexBackEnd::LoadSignatureData),
  // for a caller that decodes each where it uses it.
  bool LoadSignatureData(const std::vector<std::int64_t>& ids,
                         std::vector<std::vector<std::uint8_t>>& data) {
    return store_->LoadSignatureData(ids, data);
  }
  // The signatures of ids, read on this thread and decoded on threads
  // threads: loaded[i] tells whether signatures[i] is that of ids[i] (a
  // missing or damaged row leaves it 0). With same, rows stored as the same
  // bytes (copies of one file) are decoded once: same[i] is the first of
  // ids stored as ids[i] is, and only the signatures of those firsts are
  // filled. False, with lastError(), when the database could not be read.
  bool LoadSignatures(const std::vector<std::int64_t>& ids, unsigned threads,
                      std::vector<Signature>& signatures, std::vector<char>& loaded,
                      std::vector<std::size_t>* same = nullptr);
  bool EntryStampOf(EntryStamp& stamp) { return store_->EntryStampOf(stamp); }
  bool ChangedSince(std::int64_t generation, std::vector<std::int64_t>& ids) {
    return store_->ChangedSince(generation, ids);
  }
  std::string NeighbourFile(const std::string& params, std::uint16_t learning) const {
    return store_->NeighbourFile(params, learning);
  }
  bool LargestId(std::int64_t& id) { return store_->LargestId(id); }
  bool VisitCompact(const std::string& params, std::uint16_t learning,
                    const std::function<void(std::int64_t, const CompactSignature&)>& visit) {
    return store_->VisitCompact(params, learning, visit);
  }
  // The rows of ids, their paths as this machine spells them (rows of a
  // root it does not map are left out).
  bool LoadCompactOf(const std::vector<std::int64_t>& ids, const std::string& params,
                     std::uint16_t learning, std::vector<CompactRow>& rows,
                     std::vector<std::int64_t>& damaged);
  const std::string& lastError() const { return store_->lastError(); }
  bool damaged() const { return store_->damaged(); }
  bool Rebuild(const std::string& reason, std::string& notice, std::string& error) {
    return store_->Rebuild(reason, notice, error);
  }

  // The machine whose library roots Open reads and SetRoot keeps: this one
  // unless named otherwise.
  void UseHostName(std::string host) { host_ = std::move(host); }
  // The library roots of this machine, read when the index opens.
  const std::vector<LibraryRoot>& roots() const { return roots_.roots(); }
  // Keeps root for this machine: the files under its folder are kept by its
  // name from now on, their rows (learned here or by any machine that named
  // the root) carried over. False with lastError() on failure.
  bool SetRoot(const LibraryRoot& root);

 private:
  // Never null: an SQLite store until Open chooses.
  std::unique_ptr<IndexBackEnd> store_;
  RootMap roots_;
  std::string host_ = ThisHostName();
};

// Whether name is a PostgreSQL connection string rather than a file:
// "postgresql://..." or "postgres://...", or libpq's keyword form naming a
// host or a database ("host=... dbname=...").
bool IsServerIndexName(const std::string& name);

// Where a damaged or foreign index file is kept when it is replaced.
std::string DamagedCopyPath(const std::string& file);
