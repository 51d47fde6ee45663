#include "shell/indexed_search.h"

#include "imageio/index_location.h"
#include "imageio/signature_source.h"
#include "index/ranking.h"
#include "index/refresh.h"
#include "index/signature_index.h"
#include "numeric/trace.h"

namespace {

SearchResult refused(const std::string& message) {
  SearchResult result;
  result.outcome = SearchOutcome::NoCandidates;
  result.message = message;
  return result;
}

bool endsInRim(const std::string& name) {
  return name.size() >= 3 && name.compare(name.size() - 3, 3, "rim") == 0;
}

}  // namespace

bool NeedsIndex(std::int32_t queryBaseType, const std::vector<ImageEntry>& entries) {
  if (queryBaseType != 0 && queryBaseType != 1) return true;
  for (const ImageEntry& e : entries)
    if (!endsInRim(e.name)) return true;
  return false;
}

SearchResult RunIndexedSearch(const IndexedSearchRequest& request, const std::atomic<bool>* stop,
                              const std::function<void(std::size_t, std::size_t)>& report,
                              bool& stopped) {
  stopped = false;
  if (request.folder.empty()) return refused(kMessageNothingRanked);
  SignatureIndex index;
  const std::string file = request.indexFile.empty() ? defaultIndexPath() : request.indexFile;
  std::string notice, error;
  if (!index.Open(file, notice, error))
    return refused("Cannot open the index " + file + ": " + error);

  const SignatureParameters parameters = currentSignatureParameters();
  const std::string params = signatureParametersKey(parameters);
  const std::string folder = indexFolder(request.folder);
  RefreshRequest refresh;
  refresh.dir = folder;
  refresh.recursive = request.recursive;
  refresh.files = listIndexablePictures(folder, request.recursive);
  refresh.params = params;
  refresh.jobs = request.threads == 0 ? 1 : request.threads;
  refresh.stop = stop;
  // The learner's trace says nothing a searcher needs; each worker silences
  // its own so that no other thread's trace is touched.
  SignatureSource source = [&parameters](const std::string& path, Signature& signature) {
    ThreadTraceTarget quiet(nullptr);
    return FileSignature(path, parameters, signature);
  };
  RefreshCounts counts;
  if (!RefreshFolder(index, refresh, source, report, counts, error))
    return refused("Cannot update the index " + file + ": " + error);
  if (counts.interrupted) {
    stopped = true;
    return SearchResult{};
  }

  // The query's signature: from the index when it holds the file as it is
  // now, else made the same way.
  IndexedQuery query;
  const std::string queryPath = indexFolder(request.queryPath);
  IndexRow row;
  std::int64_t size = 0, mtime = 0;
  const bool indexed = index.Find(queryPath, params, row) && row.status == 0 &&
                       FileStamp(queryPath, size, mtime) && row.size == size &&
                       row.mtime == mtime && index.LoadSignature(row.id, query.query);
  if (!indexed) {
    ThreadTraceTarget quiet(nullptr);
    if (FileSignature(request.queryPath, parameters, query.query) != status::Success)
      return refused("Cannot read the query image " + request.queryPath + ".");
  }
  query.colorMode = request.colorMode;
  query.colorWeight = ColorWeightFromText(request.colorWeightText);
  query.threads = refresh.jobs;

  SearchResult result;
  std::vector<std::int64_t> damaged;
  if (!RankIndexed(index, folder, request.recursive, params, query, result.candidates, damaged,
                   error))
    return refused("Cannot read the index " + file + ": " + error);
  // Dropped rows are made again by the next refresh.
  if (!damaged.empty() && index.Begin()) {
    for (std::int64_t id : damaged) index.RemoveId(id);
    index.Commit();
  }
  if (result.candidates.empty()) return refused(kMessageNothingRanked);
  for (ImageEntry& e : result.candidates) e.path = asSpelled(e.path, folder, request.folder);
  return result;
}
