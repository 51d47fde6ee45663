// Near-duplicate groups of an indexed folder. Each entry's compact
// descriptor shortlists its likeliest matches among the others; only those
// pairs are scored exactly, so the costly measures never run on all pairs.
// In a large folder even the estimates do not run on all pairs: each entry
// is estimated against its neighbours along a few fixed directions of the
// descriptor (sorted once per direction), which near-duplicates stay close
// along, or, in a large library, against its nearest entries in the
// library's neighbour lists (index/neighbour_index.h).
// Pairs scoring at least the threshold join their files into one group.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "index/ranking.h"
#include "index/signature_index.h"
#include "retrieval/search.h"

inline constexpr double kDefaultDuplicateThreshold = 0.65;
// The robust measure has its own scale. Chosen on half of a set of edited
// photographs: the lowest threshold at which no two photographs joined
// there (0.64), plus a margin for folders of more photographs, whose
// highest score between two different ones is higher.
inline constexpr double kRobustDuplicateThreshold = 0.70;
inline constexpr std::size_t kDuplicateShortlist = 8;

struct DuplicateRequest {
  std::string dir;
  bool recursive = false;
  std::string params;
  std::int32_t colorMode = 2;
  double colorWeight = 0.7;
  double threshold = kDefaultDuplicateThreshold;
  std::size_t shortlist = kDuplicateShortlist;  // exact comparisons per entry
  std::size_t allPairsUpTo = 2048;              // folders up to this size estimate every pair
  std::size_t directions = 16;                  // otherwise: neighbours along this many directions
  std::size_t neighbours = 32;                  // on each side, in each direction
  // A library of at least this many entries (0: never) offers each entry's
  // nearest 2 x neighbours from its neighbour lists instead.
  std::size_t neighboursFrom = kNeighboursFrom;
  // Decoded signatures held at once while pairs are scored (a signature in
  // memory is some 150 kB; at least 2).
  std::size_t inMemory = 512;
  unsigned threads = 1;
};

// One group: its first member is the one most alike to the others (scores
// 1 against itself); the rest follow by their score against it, best first.
struct DuplicateGroup {
  std::vector<ImageEntry> members;
};

// Groups in the order of their first member's path. Rows whose blobs do not
// decode are left out and listed in damaged (when given). False with error
// set when the index cannot be read (index.damaged() tells whether the file
// is damaged).
bool FindDuplicates(SignatureIndex& index, const DuplicateRequest& request,
                    std::vector<DuplicateGroup>& groups, std::string& error,
                    std::vector<std::int64_t>* damaged = nullptr);
