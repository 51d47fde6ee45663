#include "index/signature_index.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <unordered_map>

#include "index/postgres_index.h"
#include "index/signature_blob.h"
#include "index/sqlite_index.h"
#include "numeric/parallel.h"

// The root ends in "/" already: its range is every absolute path.
std::string PathRangeLow(const std::string& dir) { return dir == "/" ? dir : dir + "/"; }
std::string PathRangeHigh(const std::string& dir) { return dir == "/" ? "0" : dir + "0"; }

bool IsServerIndexName(const std::string& name) {
  if (name.rfind("postgresql://", 0) == 0 || name.rfind("postgres://", 0) == 0) return true;
  // The keyword form: words "key=value" apart by blanks, the first of them
  // a key (a file name rarely starts so), one of them host or dbname.
  const std::size_t equals = name.find('=');
  if (equals == std::string::npos || equals == 0) return false;
  for (std::size_t i = 0; i < equals; ++i) {
    const char c = name[i];
    if (!((c >= 'a' && c <= 'z') || c == '_')) return false;
  }
  for (const char* key : {"host=", "hostaddr=", "dbname="}) {
    for (std::size_t at = name.find(key); at != std::string::npos; at = name.find(key, at + 1))
      if (at == 0 || name[at - 1] == ' ' || name[at - 1] == '\t') return true;
  }
  return false;
}

SignatureIndex::SignatureIndex() : store_(std::make_unique<SqliteIndex>()) {}
SignatureIndex::~SignatureIndex() = default;

bool SignatureIndex::Open(const std::string& name, IndexOwner owner, std::string& notice,
                          std::string& error) {
  if (IsServerIndexName(name))
    store_ = std::make_unique<PostgresIndex>();
  else
    store_ = std::make_unique<SqliteIndex>();
  roots_.Set({});
  if (!store_->Open(name, owner, notice, error)) return false;
  std::vector<LibraryRoot> roots;
  if (!store_->LoadRoots(host_, roots)) {
    error = store_->lastError();
    return false;
  }
  roots_.Set(roots);
  return true;
}

bool SignatureIndex::LoadSignature(std::int64_t id, Signature& signature, bool* databaseError) {
  std::vector<Signature> signatures;
  std::vector<char> loaded;
  const bool read = LoadSignatures({id}, 1, signatures, loaded);
  if (databaseError != nullptr) *databaseError = !read;
  if (!read || !loaded[0]) return false;
  signature = std::move(signatures[0]);
  return true;
}

namespace {

std::string& pathOf(IndexRow& row) { return row.path; }
std::string& pathOf(CompactRow& row) { return row.path; }
std::string& pathOf(std::string& path) { return path; }
const std::string& pathOf(const IndexRow& row) { return row.path; }
const std::string& pathOf(const CompactRow& row) { return row.path; }
const std::string& pathOf(const std::string& path) { return path; }

// The rows of dir: those its stored form names and those of the roots under
// it, each path as this machine spells it, in order of path. Rows of a root
// this machine does not map are left out. Each part comes in order of its
// stored paths, which share one prefix that the translation replaces as a
// whole, so the parts stay in order and only need merging.
template <typename Row, typename Load>
bool rowsOver(const RootMap& roots, const std::string& dir, std::vector<Row>& rows,
              const Load& load) {
  rows.clear();
  std::vector<std::string> stored{roots.ToStored(dir)};
  for (std::string& prefix : roots.StoredRootsUnder(dir)) stored.push_back(std::move(prefix));
  for (const std::string& prefix : stored) {
    std::vector<Row> part;
    if (!load(prefix, part)) return false;
    const std::size_t before = rows.size();
    for (Row& row : part) {
      std::string& path = pathOf(row);
      if (roots.FromStored(path, path)) rows.push_back(std::move(row));
    }
    std::inplace_merge(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(before), rows.end(),
                       [](const Row& a, const Row& b) { return pathOf(a) < pathOf(b); });
  }
  return true;
}

}  // namespace

bool SignatureIndex::RowsUnder(const std::string& dir, const std::string& params,
                               std::vector<IndexRow>& rows) {
  return rowsOver(roots_, dir, rows, [&](const std::string& stored, std::vector<IndexRow>& part) {
    return store_->RowsUnder(stored, params, part);
  });
}

bool SignatureIndex::Find(const std::string& path, const std::string& params, IndexRow& row) {
  if (!store_->Find(roots_.ToStored(path), params, row)) return false;
  row.path = path;
  return true;
}

bool SignatureIndex::FailedUnder(const std::string& dir, const std::string& params,
                                 std::vector<std::string>& paths) {
  return rowsOver(roots_, dir, paths,
                  [&](const std::string& stored, std::vector<std::string>& part) {
                    return store_->FailedUnder(stored, params, part);
                  });
}

bool SignatureIndex::LoadCompact(const std::string& dir, const std::string& params,
                                 std::uint16_t learning, std::vector<CompactRow>& rows,
                                 std::vector<std::int64_t>& damaged) {
  damaged.clear();
  return rowsOver(roots_, dir, rows, [&](const std::string& stored, std::vector<CompactRow>& part) {
    std::vector<std::int64_t> bad;
    if (!store_->LoadCompact(stored, params, learning, part, bad)) return false;
    damaged.insert(damaged.end(), bad.begin(), bad.end());
    return true;
  });
}

bool SignatureIndex::LoadCompactOf(const std::vector<std::int64_t>& ids, const std::string& params,
                                   std::uint16_t learning, std::vector<CompactRow>& rows,
                                   std::vector<std::int64_t>& damaged) {
  if (!store_->LoadCompactOf(ids, params, learning, rows, damaged)) return false;
  rows.erase(
      std::remove_if(rows.begin(), rows.end(),
                     [&](CompactRow& row) { return !roots_.FromStored(row.path, row.path); }),
      rows.end());
  return true;
}

bool SignatureIndex::SetRoot(const LibraryRoot& root) {
  // Where the folder's rows are kept now: absolute, or under another root.
  const std::string from = roots_.ToStored(root.dir);
  const std::string to = "@" + root.name;
  std::vector<LibraryRoot> roots;
  for (const LibraryRoot& kept : roots_.roots())
    if (kept.name != root.name) roots.push_back(kept);
  roots.push_back(root);
  if (from == to) {
    if (!store_->SaveRoot(host_, root)) return false;
    roots_.Set(roots);
    return true;
  }
  std::vector<std::string> paths;
  if (!store_->PathsUnder(from, paths) || !store_->Begin()) return false;
  bool ok = true;
  for (const std::string& path : paths) {
    ok = store_->RenamePath(path, to + path.substr(from == "/" ? 0 : from.size()));
    if (!ok) break;
  }
  ok = ok && store_->Commit() && store_->SaveRoot(host_, root);
  if (!ok) {
    store_->Rollback();
    return false;
  }
  roots_.Set(roots);
  return true;
}

bool SignatureIndex::LoadSignatures(const std::vector<std::int64_t>& ids, unsigned threads,
                                    std::vector<Signature>& signatures, std::vector<char>& loaded,
                                    std::vector<std::size_t>* same) {
  const std::size_t n = ids.size();
  std::vector<std::vector<std::uint8_t>> blobs;
  loaded.assign(n, 0);
  signatures.assign(n, Signature());
  if (!store_->LoadSignatureData(ids, blobs)) return false;
  for (std::size_t i = 0; i < n; ++i) loaded[i] = !blobs[i].empty();
  std::vector<std::size_t> first(n);
  for (std::size_t i = 0; i < n; ++i) first[i] = i;
  if (same != nullptr) {
    std::unordered_multimap<std::size_t, std::size_t> seen;
    for (std::size_t i = 0; i < n; ++i) {
      if (!loaded[i]) continue;
      const std::size_t hash = std::hash<std::string_view>()(
          std::string_view(reinterpret_cast<const char*>(blobs[i].data()), blobs[i].size()));
      const auto [from, to] = seen.equal_range(hash);
      for (auto at = from; at != to && first[i] == i; ++at)
        if (blobs[at->second] == blobs[i]) first[i] = at->second;
      if (first[i] == i) seen.emplace(hash, i);
    }
  }
  // Inflating and decoding cost more than reading: they share the threads.
  KPX::parallelFor(
      n, KPX::Schedule::dynamic(threads, 1), [&](std::uint64_t begin, std::uint64_t end) {
        for (std::uint64_t i = begin; i < end; ++i) {
          if (loaded[i] && first[i] == i)
            loaded[i] = DecodeSignature(blobs[i].data(), blobs[i].size(), signatures[i]);
          blobs[i] = std::vector<std::uint8_t>();
        }
      });
  for (std::size_t i = 0; i < n; ++i)
    if (first[i] != i) loaded[i] = loaded[first[i]];
  if (same != nullptr) *same = std::move(first);
  return true;
}
