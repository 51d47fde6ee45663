#include "index/ranking.h"

#include <algorithm>

#include "index/refresh.h"
#include "index/signature_blob.h"
#include "numeric/parallel.h"
#include "retrieval/edge_similarity.h"
#include "retrieval/robust_similarity.h"

namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool listingLess(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const char x = lowerAscii(a[i]), y = lowerAscii(b[i]);
    if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

std::string nameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  for (char& c : name) c = lowerAscii(c);
  return name;
}

// An estimate costs little next to taking the next index from a shared
// counter: threads take them in runs of this many.
constexpr std::uint64_t kEstimateGrain = 64;

// The first stage's rows from the neighbour lists: the entries nearest the
// query, kCandidatesPerPlace per place of the shortlist, and those changed
// since the lists were built, all as the index holds them now, under dir.
// False (rows untouched) when the library is small, has no lists, any of
// the rows is damaged or too few of them lie under dir: the caller then
// estimates every entry.
bool neighbourRows(SignatureIndex& index, const std::string& dir, bool recursive,
                   const std::string& params, const IndexedQuery& q,
                   std::vector<CompactRow>& rows) {
  std::int64_t largest = 0;
  if (q.shortlist == 0 || q.neighboursFrom == 0 || !index.LargestId(largest) ||
      largest < static_cast<std::int64_t>(q.neighboursFrom))
    return false;
  NeighbourIndex neighbours;
  std::vector<std::int64_t> ids;
  if (!LoadNeighbours(index, params, q.query.learningMethod, q.threads, neighbours, ids) ||
      neighbours.size() + ids.size() < q.neighboursFrom)
    return false;
  const CompactSignature query = MakeCompact(q.query);
  const std::vector<std::int64_t> nearest =
      neighbours.Nearest(query, q.shortlist * kCandidatesPerPlace, q.threads);
  ids.insert(ids.end(), nearest.begin(), nearest.end());
  // The robust measure's candidates besides: the copies whose tones or
  // colours were changed lie near in the relative lists, far by the colour
  // structure.
  if (q.colorMode == kRobustColorMode && query.hasRelative) {
    NeighbourIndex relative(NeighbourPointKind::Relative);
    std::vector<std::int64_t> changed;
    if (!LoadNeighbours(index, params, q.query.learningMethod, q.threads, relative, changed))
      return false;
    const std::vector<std::int64_t> near =
        relative.Nearest(query, q.shortlist * kRelativeCandidatesPerPlace, q.threads,
                         relative.probes() * kRelativeProbeFactor);
    ids.insert(ids.end(), near.begin(), near.end());
    ids.insert(ids.end(), changed.begin(), changed.end());
  }
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  std::vector<CompactRow> found;
  std::vector<std::int64_t> damaged;
  if (!index.LoadCompactOf(ids, params, q.query.learningMethod, found, damaged) || !damaged.empty())
    return false;
  const std::string low = PathRangeLow(dir), high = PathRangeHigh(dir);
  found.erase(std::remove_if(found.begin(), found.end(),
                             [&](const CompactRow& r) {
                               return r.path < low || r.path >= high ||
                                      (!recursive && !DirectlyIn(r.path, dir));
                             }),
              found.end());
  if (found.size() < q.shortlist) return false;
  // In path order, as the index lists them: equal estimates then fall to
  // the same side of the shortlist's cut as when every entry is estimated.
  std::sort(found.begin(), found.end(),
            [](const CompactRow& a, const CompactRow& b) { return a.path < b.path; });
  rows = std::move(found);
  return true;
}

}  // namespace

bool LoadNeighbours(SignatureIndex& index, const std::string& params, std::uint16_t learning,
                    unsigned threads, NeighbourIndex& neighbours,
                    std::vector<std::int64_t>& changed) {
  changed.clear();
  const bool relative = neighbours.kind() == NeighbourPointKind::Relative;
  std::string file = index.NeighbourFile(params, learning);
  EntryStamp stamp;
  // The stamp before the rows: a change between the two is taken for one
  // after the build, and estimated besides the lists.
  if (file.empty() || !index.EntryStampOf(stamp)) return false;
  std::string key = params + '\n' + std::to_string(learning);
  if (relative) {
    file += "-relative";
    key += "\nrelative";
  }
  if (neighbours.Load(file, stamp.epoch, key) && neighbours.generation() <= stamp.generation) {
    if (!index.ChangedSince(neighbours.generation(), changed)) return false;
    if (changed.size() * kRebuildShare <= neighbours.size() && changed.size() <= kMostChanged)
      return true;
  }
  changed.clear();
  return neighbours.Build(
      [&](const std::function<void(std::int64_t, const CompactSignature&)>& visit) {
        return index.VisitCompact(params, learning, visit);
      },
      file, stamp, key, threads);
}

double EstimateScore(const CompactSignature& query, const CompactSignature& target,
                     std::int32_t colorMode, double colorWeight) {
  return (1.0 - colorWeight) * CompactEdgeSimilarity(query, target) +
         colorWeight * CompactColorSimilarity(query, target, colorMode);
}

void ScoreSignature(const Signature& query, const Signature& target, std::int32_t colorMode,
                    double colorWeight, ImageEntry& entry) {
  entry.colorSimilarity = SignatureColorSimilarity(query, target, colorMode);
  entry.edgeSimilarity = SignatureEdgeSimilarity(query, target);
  entry.score = SignatureScore(query, target, colorMode, colorWeight, entry.edgeSimilarity,
                               entry.colorSimilarity);
}

void SortLikeListing(std::vector<ImageEntry>& entries) {
  std::sort(entries.begin(), entries.end(),
            [](const ImageEntry& a, const ImageEntry& b) { return listingLess(a.path, b.path); });
}

bool RankIndexed(SignatureIndex& index, const std::string& dir, bool recursive,
                 const std::string& params, const IndexedQuery& q, std::vector<ImageEntry>& ranking,
                 std::vector<std::int64_t>& damaged, std::string& error) {
  ranking.clear();
  const auto stopped = [&q, &ranking] {
    if (q.stop == nullptr || !q.stop->load()) return false;
    ranking.clear();
    return true;
  };
  std::vector<CompactRow> rows;
  if (!neighbourRows(index, dir, recursive, params, q, rows)) {
    if (!index.LoadCompact(dir, params, q.query.learningMethod, rows, damaged)) {
      error = index.lastError();
      return false;
    }
    if (!recursive)
      rows.erase(std::remove_if(rows.begin(), rows.end(),
                                [&](const CompactRow& r) { return !DirectlyIn(r.path, dir); }),
                 rows.end());
  }

  if (stopped()) return true;

  // First stage: every entry's estimate, then the best `shortlist` of them.
  std::vector<std::size_t> chosen(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) chosen[i] = i;
  if (q.shortlist != 0 && rows.size() > q.shortlist) {
    const CompactSignature queryCompact = MakeCompact(q.query);
    std::vector<double> estimate(rows.size());
    KPX::parallelFor(rows.size(), KPX::Schedule::dynamic(q.threads, kEstimateGrain),
                     [&](std::uint64_t begin, std::uint64_t end) {
                       for (std::uint64_t i = begin; i < end; ++i)
                         estimate[i] = EstimateScore(queryCompact, rows[i].compact, q.colorMode,
                                                     q.colorWeight);
                     });
    std::nth_element(chosen.begin(), chosen.begin() + static_cast<std::ptrdiff_t>(q.shortlist),
                     chosen.end(), [&](std::size_t a, std::size_t b) {
                       if (estimate[a] != estimate[b]) return estimate[a] > estimate[b];
                       return a < b;
                     });
    chosen.resize(q.shortlist);
    if (stopped()) return true;
  }

  // Second stage: the full signatures of the shortlist, read a chunk at a
  // time so that memory stays bounded whatever the shortlist, each decoded
  // on the thread that scores it and dropped there, so that its memory is
  // reused while still in cache.
  EdgeSimilarity edge;
  edge.baseLimit = kSearchBaseLimit;
  edge.queryBases = q.query.bases;
  edge.queryNorms = q.query.baseNorms;
  constexpr std::size_t kChunk = 256;
  std::vector<std::vector<std::uint8_t>> data;
  std::vector<ImageEntry> scored;
  std::vector<char> loaded;
  std::vector<std::int64_t> ids;
  for (std::size_t start = 0; start < chosen.size(); start += kChunk) {
    if (stopped()) return true;
    const std::size_t count = std::min(kChunk, chosen.size() - start);
    ids.resize(count);
    for (std::size_t k = 0; k < count; ++k) ids[k] = rows[chosen[start + k]].id;
    if (!index.LoadSignatureData(ids, data)) {
      error = index.lastError();
      return false;
    }
    scored.assign(count, ImageEntry());
    loaded.assign(count, 0);
    KPX::parallelFor(
        count, KPX::Schedule::dynamic(q.threads, 1), [&](std::uint64_t begin, std::uint64_t end) {
          for (std::uint64_t k = begin; k < end; ++k) {
            Signature t;
            loaded[k] = !data[k].empty() && DecodeSignature(data[k].data(), data[k].size(), t);
            if (!loaded[k]) continue;
            ImageEntry& e = scored[k];
            e.colorSimilarity = SignatureColorSimilarity(q.query, t, q.colorMode);
            e.edgeSimilarity = edge.MatchScore(t.bases, t.baseNorms);
            e.score = SignatureScore(q.query, t, q.colorMode, q.colorWeight, e.edgeSimilarity,
                                     e.colorSimilarity);
          }
        });
    for (std::size_t k = 0; k < count; ++k) {
      if (!loaded[k]) {
        damaged.push_back(ids[k]);
        continue;
      }
      scored[k].path = rows[chosen[start + k]].path;
      scored[k].name = nameOf(scored[k].path);
      scored[k].baseType = static_cast<std::int16_t>(q.query.learningMethod);
      ranking.push_back(std::move(scored[k]));
    }
  }
  // Files that could not be read rank last with -1, as the search without
  // the index ranks a damaged candidate.
  std::vector<std::string> unreadable;
  if (!index.FailedUnder(dir, params, unreadable)) {
    error = index.lastError();
    return false;
  }
  for (std::string& path : unreadable) {
    if (!recursive && !DirectlyIn(path, dir)) continue;
    ImageEntry e;
    e.name = nameOf(path);
    e.path = std::move(path);
    e.baseType = static_cast<std::int16_t>(q.query.learningMethod);
    e.score = e.edgeSimilarity = e.colorSimilarity = -1.0;
    ranking.push_back(std::move(e));
  }
  SortLikeListing(ranking);
  SortByScore(ranking);
  return true;
}
