// The compact descriptor of a signature: small enough to hold a whole
// library in memory, it estimates the combined score so that only a
// shortlist needs the full edge and colour measures. The colour features are
// kept as floats; the bases are summarised by where their energy lies: for
// every colour plane the squared 2-D DCT coefficients of each unit-length
// base, pooled into 4 x 4 frequency bands and summed over the bases. The
// profile does not see the order or the sign of the bases, as the edge
// measure does not.
#pragma once

#include <array>
#include <cstdint>

#include "retrieval/relative_histogram.h"
#include "retrieval/signature.h"

inline constexpr std::size_t kCompactBlockMeans = 48;  // 4 x 4 cells x 3 channels
inline constexpr std::size_t kCompactHistogram = 64;   // 4 x 4 x 4 bins
inline constexpr std::size_t kCompactStructure = 128;  // 8 hues x 4 x 4
inline constexpr std::size_t kCompactBands = 48;       // 3 planes x 4 x 4 bands

struct CompactSignature {
  std::uint16_t learningMethod = 0;
  std::array<float, kCompactBlockMeans> blockMeans{};
  std::array<float, kCompactHistogram> histogram{};
  std::array<float, kCompactStructure> structure{};
  std::array<float, kCompactBands> edgeProfile{};  // sums to 1, or all 0 without bases
  // The robust measure's relative histogram, which descriptors made from a
  // signature stored before it lack.
  bool hasRelative = false;
  std::array<float, kRelativeBins> relative{};
};

CompactSignature MakeCompact(const Signature& signature);

// Estimates of the two measures: the colour measure of the mode on the float
// features, and the intersection of the two energy profiles for the edges.
double CompactColorSimilarity(const CompactSignature& query, const CompactSignature& target,
                              std::int32_t colorMode);
double CompactEdgeSimilarity(const CompactSignature& query, const CompactSignature& target);
