#include "shell/indexed_search.h"

#include <QCoreApplication>

#include "index/index_location.h"
#include "imageio/signature_source.h"
#include "index/query_signature.h"
#include "index/ranking.h"
#include "index/refresh.h"
#include "index/signature_index.h"
#include "numeric/trace.h"
#include "shell/native_path.h"

namespace {

// The form's context, where its captions are translated.
QString translated(const char* text) { return QCoreApplication::translate("CRetrievalView", text); }

SearchResult refused(const QString& message) {
  SearchResult result;
  result.outcome = SearchOutcome::NoCandidates;
  result.message = message.toStdString();
  return result;
}

bool endsInRim(const std::string& name) {
  return name.size() >= 3 && name.compare(name.size() - 3, 3, "rim") == 0;
}

int percentOf(std::size_t done, std::size_t total) {
  return total == 0 ? 100 : static_cast<int>(done * 100 / total);
}

}  // namespace

bool NeedsIndex(std::int32_t queryBaseType, const std::vector<ImageEntry>& entries) {
  if (queryBaseType != 0 && queryBaseType != 1) return true;
  for (const ImageEntry& e : entries)
    if (!endsInRim(e.name)) return true;
  return false;
}

SearchResult RunIndexedSearch(const IndexedSearchRequest& request, const std::atomic<bool>* stop,
                              const IndexedSearchReport& report, IndexedSearchOutcome& outcome) {
  outcome = IndexedSearchOutcome();
  if (request.folder.empty()) return refused(translated(kMessageNothingRanked));
  SignatureIndex index;
  const std::string file = request.indexFile.empty() ? defaultIndexPath() : request.indexFile;
  if (file.empty())
    return refused(
        translated("There is no place for the index: HOME and XDG_CACHE_HOME are not "
                   "set to an absolute folder."));
  std::string notice, error;
  if (!index.Open(file, request.indexFile.empty() ? IndexOwner::Folim : IndexOwner::User, notice,
                  error))
    return refused(translated("Cannot open the index %1: %2")
                       .arg(fromNativePath(file), QString::fromStdString(error)));
  auto noteRebuilt = [&] {
    outcome.notice =
        translated("The index %1 was damaged; it has been kept as %2 and a new one was built.")
            .arg(fromNativePath(file), fromNativePath(DamagedCopyPath(file)));
  };
  if (!notice.empty()) noteRebuilt();

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
  SignatureSource source = [&parameters](const std::string& path, Signature& signature,
                                         std::string& cause) {
    ThreadTraceTarget quiet(nullptr);
    return FileSignature(path, parameters, signature, &cause);
  };
  const RefreshReport refreshReport = [&report](std::size_t done, std::size_t total) {
    if (report)
      report(percentOf(done, total),
             translated("Indexing pictures %1 / %2 ...").arg(done).arg(total));
  };
  // Damage SQLite finds keeps the file aside and makes the index afresh;
  // damaged entries are dropped and learned again. Either way the search
  // runs a second time.
  const auto rebuilt = [&] {
    std::string ignored;
    if (!index.Rebuild(index.lastError(), notice, ignored)) return false;
    noteRebuilt();
    return true;
  };
  SearchResult result;
  for (int round = 0; round < 2; ++round) {
    const bool again = round == 0;
    RefreshCounts counts;
    if (!RefreshFolder(index, refresh, source, refreshReport, counts, error)) {
      if (again && index.damaged() && rebuilt()) continue;
      return refused(translated("Cannot update the index %1: %2")
                         .arg(fromNativePath(file), QString::fromStdString(error)));
    }
    if (counts.interrupted) {
      outcome.stopped = true;
      return SearchResult{};
    }

    if (report) report(100, translated("Ranking pictures ..."));
    IndexedQuery query;
    if (QuerySignature(index, indexFolder(request.queryPath), params, source, query.query) !=
        status::Success)
      return refused(
          translated("Cannot read the query image %1.").arg(fromNativePath(request.queryPath)));
    query.colorMode = request.colorMode;
    query.colorWeight = ColorWeightFromText(request.colorWeightText);
    query.threads = refresh.jobs;
    query.stop = stop;

    std::vector<std::int64_t> damaged;
    if (!RankIndexed(index, folder, request.recursive, params, query, result.candidates, damaged,
                     error)) {
      if (again && index.damaged() && rebuilt()) continue;
      return refused(translated("Cannot read the index %1: %2")
                         .arg(fromNativePath(file), QString::fromStdString(error)));
    }
    if (damaged.empty()) break;
    if (!index.DropRows(damaged)) {
      if (again && index.damaged() && rebuilt()) continue;
      break;
    }
  }
  if (stop != nullptr && stop->load()) {
    outcome.stopped = true;
    return SearchResult{};
  }
  if (result.candidates.empty()) return refused(translated(kMessageNothingRanked));
  for (ImageEntry& e : result.candidates) e.path = asSpelled(e.path, folder, request.folder);
  return result;
}
