// Ranking an indexed folder in two stages: the compact descriptor of every
// entry, held in memory, estimates the combined score and picks a
// shortlist; the full edge and colour measures then score the shortlist
// exactly as the search scores RIM files. A shortlist of 0 (or one at least
// as long as the folder) scores every entry, which is the exhaustive ranking.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "index/neighbour_index.h"
#include "index/signature_index.h"
#include "retrieval/search.h"

inline constexpr std::size_t kDefaultShortlist = 200;
// A library of at least this many entries of a parameter set takes its
// shortlist's candidates from the neighbour lists (index/neighbour_index.h)
// rather than estimating every entry; the lists offer this many candidates
// per place of the shortlist, already ordered by the default estimate read
// from their codes, which the estimate of the requested mode then orders
// (4 held every one of the exhaustive shortlist in synthetic libraries of
// 100,000 and 1,000,000 entries). Entries
// changed since the lists were built are estimated besides; when they are
// more than one in kRebuildShare of the lists' entries, or more than
// kMostChanged (each costs a read of its row in every search), the lists
// are built again.
inline constexpr std::size_t kNeighboursFrom = 20000;
inline constexpr std::size_t kCandidatesPerPlace = 4;
// A robust search takes kRelativeCandidatesPerPlace more from the
// relative lists, reading kRelativeProbeFactor times as many of them as of
// the default ones (the top 10 of 693 of 700 edited photographs as queries
// equalled the exhaustive one in a library of 100,000 entries; 677 with 4
// candidates and the usual share of the lists, 434 without these lists).
inline constexpr std::size_t kRelativeCandidatesPerPlace = 8;
inline constexpr std::size_t kRelativeProbeFactor = 4;
inline constexpr std::size_t kRebuildShare = 10;
inline constexpr std::size_t kMostChanged = 16384;

struct IndexedQuery {
  Signature query;
  std::int32_t colorMode = 2;
  double colorWeight = 0.7;  // w: score = (1 - w) * edge + w * colour
  std::size_t shortlist = kDefaultShortlist;
  unsigned threads = 1;
  std::size_t neighboursFrom = kNeighboursFrom;  // 0: never
  // Set from another thread to end the ranking early (with no result).
  const std::atomic<bool>* stop = nullptr;
};

// The first stage's estimate of the combined score.
double EstimateScore(const CompactSignature& query, const CompactSignature& target,
                     std::int32_t colorMode, double colorWeight);

// The exact scores of a target signature, as ImageEntry fields.
void ScoreSignature(const Signature& query, const Signature& target, std::int32_t colorMode,
                    double colorWeight, ImageEntry& entry);

// Orders candidates the way a folder listing does (by path, letters compared
// without regard to case), so that equal scores rank as in the search
// without the index.
void SortLikeListing(std::vector<ImageEntry>& entries);

// The neighbour lists of the entries of a parameter set and learning flag,
// of the kind neighbours was made for, mapped from beside the index, or built (and kept there) when
// they are missing, damaged, foreign, or too many entries have changed since. changed: the ids of
// the entries changed since the lists were built, which they do not hold as they are. False when
// the index keeps no lists or cannot be read.
bool LoadNeighbours(SignatureIndex& index, const std::string& params, std::uint16_t learning,
                    unsigned threads, NeighbourIndex& neighbours,
                    std::vector<std::int64_t>& changed);

// Ranks the entries of dir (with recursive, of its sub-folders too) whose
// bases were learned like the query's, best first, then the files that
// could not be read, scored -1. Rows whose blobs do not decode are left out
// and listed in damaged. False with error set when the index cannot be read
// (index.damaged() tells whether the file is damaged). When the query's stop is set, it returns
// early with an empty ranking, within one chunk of exact scores.
bool RankIndexed(SignatureIndex& index, const std::string& dir, bool recursive,
                 const std::string& params, const IndexedQuery& query,
                 std::vector<ImageEntry>& ranking, std::vector<std::int64_t>& damaged,
                 std::string& error);
