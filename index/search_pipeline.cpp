#include "index/search_pipeline.h"

#include <utility>

#include "index/index_location.h"
#include "index/query_signature.h"

namespace {

IndexedSearchResult failed(IndexedSearchOutcome outcome, std::string error = {}) {
  IndexedSearchResult result;
  result.outcome = outcome;
  result.error = std::move(error);
  return result;
}

class Search {
 public:
  Search(SignatureIndex& index, const IndexedSearchRequest& request,
         IndexedSearchObserver& observer)
      : index_(index),
        request_(request),
        observer_(observer),
        folder_(indexFolder(request.folder)),
        threads_(request.threads == 0 ? 1 : request.threads) {}

  IndexedSearchResult Run() {
    // The folder is listed once: a second round ranks the same pictures.
    const std::vector<std::string> pictures =
        request_.refresh ? request_.listPictures(folder_, request_.recursive)
                         : std::vector<std::string>();
    // Another round follows one that found damage: after a rebuild, or
    // after damaged rows were dropped, which the refresh learns again. The
    // index is rebuilt once at most, also when SQLite finds damage only
    // once damaged rows around it were dropped (a third round).
    for (int round = 0; round < 3; ++round) {
      const bool again = round == 0 || (round == 1 && !rebuilt_);
      if (request_.refresh) {
        RefreshCounts counts;
        std::string error;
        observer_.RefreshStarted();
        const bool ok = RefreshFolder(
            index_, refreshRequest(pictures), request_.signatureOf,
            [this](std::size_t done, std::size_t total) { observer_.Indexing(done, total); },
            counts, error);
        if (!ok && again && index_.damaged()) {
          if (!rebuild()) return unrepaired(IndexedSearchOutcome::CannotUpdate, error);
          continue;
        }
        observer_.Refreshed(counts);
        if (!ok) return failed(IndexedSearchOutcome::CannotUpdate, error);
        if (counts.interrupted) return failed(IndexedSearchOutcome::Stopped);
      }

      observer_.Ranking();
      IndexedQuery query;
      std::string cause;
      const Status made = QuerySignature(index_, indexFolder(request_.queryPath), request_.params,
                                         request_.signatureOf, query.query, &cause);
      if (made != status::Success) {
        IndexedSearchResult result = failed(IndexedSearchOutcome::QueryUnreadable);
        result.queryStatus = made;
        result.queryCause = cause;
        return result;
      }
      query.colorMode = NumberOf(request_.colorMode);
      query.colorWeight = request_.colorWeight;
      query.shortlist = request_.shortlist;
      query.threads = threads_;
      query.stop = request_.stop;

      std::vector<std::int64_t> damaged;
      std::string error;
      ranking_.clear();
      if (!RankIndexed(index_, folder_, request_.recursive, request_.params, query, ranking_,
                       damaged, error)) {
        if (again && index_.damaged()) {
          if (!rebuild()) return unrepaired(IndexedSearchOutcome::CannotRead, error);
          continue;
        }
        return failed(IndexedSearchOutcome::CannotRead, error);
      }
      if (damaged.empty()) break;
      observer_.RowsDropped(damaged.size());
      if (!index_.DropRows(damaged)) {
        // The ranking stands without them; the caller decides what the
        // failure to drop them means.
        dropError_ = index_.lastError();
        if (again && index_.damaged() && rebuild()) {
          dropError_.clear();
          continue;
        }
        break;
      }
      if (!request_.refresh || !again) break;
    }
    if (request_.stop != nullptr && request_.stop->load())
      return failed(IndexedSearchOutcome::Stopped);
    IndexedSearchResult result;
    result.dropError = dropError_;
    result.rebuildError = rebuildError_;
    if (ranking_.empty()) {
      result.outcome = IndexedSearchOutcome::NothingRanked;
      return result;
    }
    for (ImageEntry& e : ranking_) e.path = asSpelled(e.path, folder_, request_.folder);
    result.ranking = std::move(ranking_);
    return result;
  }

 private:
  RefreshRequest refreshRequest(const std::vector<std::string>& pictures) const {
    RefreshRequest refresh;
    refresh.dir = folder_;
    refresh.recursive = request_.recursive;
    refresh.files = pictures;
    refresh.params = request_.params;
    refresh.jobs = threads_;
    refresh.stop = request_.stop;
    return refresh;
  }

  // Keeps the damaged file aside and makes the index afresh.
  bool rebuild() {
    std::string notice;
    rebuilt_ = true;
    if (!index_.Rebuild(index_.lastError(), notice, rebuildError_)) return false;
    observer_.Rebuilt(notice);
    return true;
  }

  IndexedSearchResult unrepaired(IndexedSearchOutcome outcome, const std::string& error) const {
    IndexedSearchResult result = failed(outcome, error);
    result.rebuildError = rebuildError_;
    return result;
  }

  SignatureIndex& index_;
  const IndexedSearchRequest& request_;
  IndexedSearchObserver& observer_;
  const std::string folder_;
  const unsigned threads_;
  std::vector<ImageEntry> ranking_;
  std::string rebuildError_;
  std::string dropError_;
  bool rebuilt_ = false;
};

}  // namespace

IndexedSearchResult RunIndexedSearch(SignatureIndex& index, const IndexedSearchRequest& request,
                                     IndexedSearchObserver& observer) {
  return Search(index, request, observer).Run();
}
