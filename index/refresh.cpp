#include "index/refresh.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>

#include "numeric/parallel.h"

namespace {

// Results are committed at least this often, so an interruption loses
// little work and another process waits little for the write lock.
constexpr std::size_t kBatchFiles = 16;
constexpr auto kBatchTime = std::chrono::milliseconds(500);

struct WorkItem {
  std::string path;
  FileStamp stamp;
  bool known = false;  // a row exists: refreshed, not added
};

struct Result {
  const WorkItem* item = nullptr;
  Status status = status::Success;
  std::string cause;
  Signature signature;
};

bool writeBatch(SignatureIndex& index, const std::string& params, std::deque<Result>& batch,
                RefreshCounts& counts, std::string& error) {
  if (batch.empty()) return true;
  if (!index.Begin()) {
    error = index.lastError();
    return false;
  }
  for (const Result& r : batch) {
    const bool ok = r.status == status::Success;
    if (!index.Put(r.item->path, params, r.item->stamp, r.status.code(),
                   ok ? &r.signature : nullptr)) {
      error = index.lastError();
      index.Rollback();
      return false;
    }
  }
  if (!index.Commit()) {
    error = index.lastError();
    index.Rollback();
    return false;
  }
  for (Result& r : batch) {
    ++(r.item->known ? counts.refreshed : counts.added);
    if (r.status == status::Success) continue;
    ++counts.failed;
    counts.failures.push_back({r.item->path, r.status, std::move(r.cause)});
  }
  batch.clear();
  return true;
}

}  // namespace

bool Unchanged(const IndexRow& row, const FileStamp& now) {
  return row.wholeStamp ? row.stamp == now : row.stamp.sameSizeAndTime(now);
}

bool DirectlyIn(const std::string& path, const std::string& dir) {
  const std::string prefix = dir + "/";
  return path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0 &&
         path.find('/', prefix.size()) == std::string::npos;
}

bool RefreshFolder(SignatureIndex& index, const RefreshRequest& request,
                   const SignatureSource& source, const RefreshReport& report,
                   RefreshCounts& counts, std::string& error) {
  counts = RefreshCounts();
  std::vector<IndexRow> rows;
  if (!index.RowsUnder(request.dir, request.params, rows)) {
    error = index.lastError();
    return false;
  }
  std::map<std::string, const IndexRow*> known;
  for (const IndexRow& row : rows) known.emplace(row.path, &row);

  const std::set<std::string> listed(request.files.begin(), request.files.end());
  std::vector<std::string> vanished;
  for (const IndexRow& row : rows) {
    if (!request.recursive && !DirectlyIn(row.path, request.dir)) continue;
    if (listed.count(row.path) == 0) vanished.push_back(row.path);
  }
  std::vector<WorkItem> work;
  // Rows carried over from schema 1 whose file is unchanged: their whole
  // stamp is stored, nothing is learned again.
  std::vector<std::pair<std::int64_t, FileStamp>> restamp;
  for (const std::string& path : listed) {
    WorkItem item;
    item.path = path;
    if (!ReadFileStamp(path, item.stamp)) continue;  // gone meanwhile
    const auto it = known.find(path);
    if (it != known.end()) {
      item.known = true;
      if (!request.relearn && Unchanged(*it->second, item.stamp)) {
        ++counts.unchanged;
        if (!it->second->wholeStamp) restamp.emplace_back(it->second->id, item.stamp);
        continue;
      }
    }
    work.push_back(std::move(item));
  }

  // Vanished files and new stamps go first, in one transaction.
  if (!vanished.empty() || !restamp.empty()) {
    if (!index.Begin()) {
      error = index.lastError();
      return false;
    }
    for (const std::string& path : vanished) {
      if (!index.Remove(path)) {
        error = index.lastError();
        index.Rollback();
        return false;
      }
    }
    for (const auto& [id, stamp] : restamp) {
      if (!index.Restamp(id, stamp)) {
        error = index.lastError();
        index.Rollback();
        return false;
      }
    }
    if (!index.Commit()) {
      error = index.lastError();
      index.Rollback();
      return false;
    }
    counts.removed = vanished.size();
  }
  const std::size_t total = counts.unchanged + work.size();
  if (report) report(counts.unchanged, total);

  // Signatures are made on the loop's threads while this thread, the only
  // one that touches the database, stores them as they finish: the queue
  // carries finished results to it, so that it can commit every few files
  // or half second however long the others take.
  std::mutex mutex;
  std::condition_variable ready;
  std::deque<Result> finished;
  bool making = true;
  std::atomic<bool> unstorable{false};  // nothing more can be stored: skip the rest
  auto stopped = [&] { return request.stop != nullptr && request.stop->load(); };
  const auto doneMaking = [&] {
    std::lock_guard<std::mutex> lock(mutex);
    making = false;
    ready.notify_one();
  };
  const auto makeSignatures = [&] {
    const KPX::Schedule schedule = KPX::Schedule::dynamic(request.jobs, 1).until(request.stop);
    try {
      KPX::parallelFor(work.size(), schedule, [&](std::uint64_t begin, std::uint64_t end) {
        for (std::uint64_t i = begin; i < end && !unstorable.load(); ++i) {
          Result r;
          r.item = &work[i];
          r.status = source(r.item->path, r.signature, r.cause);
          std::lock_guard<std::mutex> lock(mutex);
          finished.push_back(std::move(r));
          ready.notify_one();
        }
      });
    } catch (...) {
      doneMaking();
      throw;
    }
    doneMaking();
  };

  bool ok = true;
  const auto storeResults = [&] {
    std::deque<Result> batch;
    auto lastWrite = std::chrono::steady_clock::now();
    std::size_t done = counts.unchanged;
    for (;;) {
      bool allDone;
      {
        std::unique_lock<std::mutex> lock(mutex);
        ready.wait_for(lock, kBatchTime, [&] { return !finished.empty() || !making; });
        while (!finished.empty()) {
          batch.push_back(std::move(finished.front()));
          finished.pop_front();
          ++done;
        }
        allDone = !making && finished.empty();
      }
      if (report) report(done, total);
      const auto now = std::chrono::steady_clock::now();
      if (ok && (allDone || batch.size() >= kBatchFiles || now - lastWrite >= kBatchTime)) {
        ok = writeBatch(index, request.params, batch, counts, error);
        lastWrite = now;
        if (!ok) unstorable.store(true);  // let the others end early
      }
      if (allDone) break;
    }
  };
  KPX::runBeside(makeSignatures, storeResults);
  counts.interrupted = stopped() && counts.added + counts.refreshed < work.size();
  return ok;
}
