#include "retrieval/search.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <thread>

#include "codec/rim_codec.h"
#include "numeric/parallel.h"
#include "numeric/trace.h"
#include "retrieval/color_similarity.h"
#include "retrieval/edge_similarity.h"

namespace {

int percentOf(std::size_t i, std::size_t n) {
  return n == 0 ? 0 : static_cast<int>(static_cast<std::uint64_t>(i) * 100 / n);
}

void report(const SearchProgress& progress, const char* format, std::size_t i, std::size_t n) {
  if (!progress) return;
  progress(stringf(format, static_cast<int>(i), static_cast<int>(n)), percentOf(i, n));
}

bool endsInRim(const std::string& name) {
  if (name.size() < 3) return false;
  const char* tail = name.c_str() + name.size() - 3;
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return lower(tail[0]) == 'r' && lower(tail[1]) == 'i' && lower(tail[2]) == 'm';
}

// Scores candidates on `threads` threads, the calling one included, which
// alone reports progress. Each candidate's values depend on nothing but its
// file and the query, so the thread count changes neither values nor order.
void scoreCandidates(std::vector<ImageEntry>& candidates, const EdgeSimilarity& edge,
                     const ColorSimilarity& color, double w, unsigned threads,
                     const std::atomic<bool>* cancel, const SearchProgress& progress) {
  const std::size_t n = candidates.size();
  const std::thread::id caller = std::this_thread::get_id();
  KPX::parallelFor(n, KPX::Schedule::dynamic(threads, 1).until(cancel),
                   [&](std::uint64_t begin, std::uint64_t end) {
                     for (std::uint64_t j = begin; j < end; ++j) {
                       if (std::this_thread::get_id() == caller)
                         report(progress, "Calculating similarity %d / %d ...", j, n);
                       ImageEntry& c = candidates[j];
                       c.colorSimilarity = color.Compare(c.path);
                       c.edgeSimilarity = edge.Compare(c.path);
                       c.score = (1.0 - w) * c.edgeSimilarity + w * c.colorSimilarity;
                     }
                   });
}

}  // namespace

bool IsValidColorMode(std::int32_t mode) {
  return mode == ColorSimilarity::kBlockMean || mode == ColorSimilarity::kHistogram ||
         mode == ColorSimilarity::kColorStructure;
}

double ColorWeightFromText(const std::string& text) {
  const char* p = text.c_str();
  const char* end = p + text.size();
  while (p != end &&
         (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v'))
    ++p;
  if (p != end && *p == '+') ++p;
  double value = 0.0;
  const std::from_chars_result r = std::from_chars(p, end, value, std::chars_format::general);
  // "inf", "nan" and numbers beyond the double range are not weights.
  if (r.ec != std::errc() || !std::isfinite(value)) return 0.0;
  return value / 100.0;
}

std::vector<ImageEntry> CollectCandidates(std::int32_t queryBaseType,
                                          const std::vector<ImageEntry>& entries,
                                          const SearchProgress& progress) {
  std::vector<ImageEntry> candidates;
  const std::size_t count = entries.size();
  // The header-only read touches nothing but the codec's header, so one
  // codec object serves every entry.
  CRIMCodec codec;
  for (std::size_t i = 0; i < count; ++i) {
    const ImageEntry& entry = entries[i];
    if (entry.baseType == kBaseTypeUninspected) {
      // Only the last three characters are tested: "photorim" is inspected
      // like "photo.rim".
      if (!endsInRim(entry.name)) continue;
      std::uint16_t learningMethod = 0;
      if (codec.readLearningMethod(entry.path, learningMethod) != status::Success) continue;
      if (learningMethod == queryBaseType) {
        ImageEntry candidate;
        candidate.name = entry.name;
        candidate.path = entry.path;
        candidate.baseType = kBaseTypeUninspected;
        candidates.push_back(std::move(candidate));
      }
    } else if (entry.baseType == queryBaseType) {
      candidates.push_back(entry);
    }
    report(progress, "Loading images %d / %d ...", i, count);
  }
  return candidates;
}

void SortByScore(std::vector<ImageEntry>& candidates) {
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const ImageEntry& a, const ImageEntry& b) {
                     if (std::isnan(a.score)) return false;
                     if (std::isnan(b.score)) return true;
                     return a.score > b.score;
                   });
}

SearchResult RunSearch(const SearchRequest& request, const std::vector<ImageEntry>& entries,
                       const SearchProgress& progress) {
  SearchResult result;
  if (!IsValidColorMode(request.colorMode)) {
    result.outcome = SearchOutcome::BadColorMode;
    result.message = kMessageBadColorMode;
    return result;
  }
  if (request.queryBaseType != kBaseTypePCA && request.queryBaseType != kBaseTypeICA) {
    result.outcome = SearchOutcome::NotRimQuery;
    result.message = kMessageNotRimQuery;
    return result;
  }
  std::vector<ImageEntry> candidates = CollectCandidates(request.queryBaseType, entries, progress);
  if (candidates.empty()) {
    result.outcome = SearchOutcome::NoCandidates;
    result.message = kMessageNoCandidates;
    return result;
  }
  const double w = ColorWeightFromText(request.colorWeightText);

  // The query's features are computed once. A query that cannot be read
  // would rank every candidate 0 against empty features: that is a failure.
  ColorSimilarity color;
  color.resolution = kSearchColorResolution;
  color.mode = request.colorMode;
  Status read =
      color.ComputeFeatures(color.queryBlockMeans, color.queryHistogram, request.queryPath);
  EdgeSimilarity edge;
  edge.baseLimit = kSearchBaseLimit;
  if (read == status::Success) read = edge.SetQuery(request.queryPath);
  if (read != status::Success) {
    std::string cause = statusMessage(read);
    if (!cause.empty() && cause.back() == '\n') cause.pop_back();
    result.outcome = SearchOutcome::QueryUnreadable;
    result.message = "The query cannot be read: " + request.queryPath + ": " + cause;
    return result;
  }

  scoreCandidates(candidates, edge, color, w, request.threads, request.cancel, progress);
  SortByScore(candidates);
  result.candidates = std::move(candidates);
  return result;
}
