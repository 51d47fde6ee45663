// The robust measure: a search that still finds a photograph after the edits
// people make to whole pictures (a tone curve, a hue turn, desaturation, a
// copy a few dozen pixels wide). Its colour half has four parts:
//   - the colour structure histogram as it is, which carries crops and
//     rotations and keeps different photographs apart;
//   - the relative histogram (retrieval/relative_histogram.h), hues and
//     saturations measured from the picture's own, which a hue turn or a
//     change of saturation leaves nearly as it was;
//   - the plain colour histogram (the histogram mode's similarity), which
//     does not depend on the picture's size and so carries tiny copies;
//   - the layout: each channel's 4 x 4 block means, less their mean and
//     scaled to unit length, correlated cell by cell over the cells both
//     pictures fill; a tone curve or a saturation change keeps the order of
//     the cells and so the correlation.
// The edge measure takes the rest, trusted less when either picture has too
// few patches for its learned bases to mean much.
// Signatures stored before the relative histogram existed lack it; a pair
// where either does is scored by the measure's earlier parts, in its place
// the structure histogram with each hue shared with its two neighbours, at
// the best of three turns (none, one hue either way).
// The functions take the features as flat arrays of floats or doubles, so
// that the exact ranking and the compact estimate compute the same thing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "retrieval/relative_histogram.h"

// The measure's number among the colour modes.
inline constexpr std::int32_t kRobustColorMode = 3;

inline constexpr std::size_t kRobustHues = 8;
inline constexpr std::size_t kRobustStructureBins = 128;  // 8 hues x 4 x 4
inline constexpr std::size_t kRobustCells = 16;           // 4 x 4 cells, 3 channels each
inline constexpr std::size_t kRobustHistogramBins = 64;   // 4 x 4 x 4

// Intersection of two colour structure histograms (hue-major, 128 bins),
// each hue bin first spread half over itself and a quarter over each
// neighbouring hue (hue is circular).
template <typename T>
double HueTolerantIntersection(const T* query, const T* target);

// The best HueTolerantIntersection of the query against the target as it is
// and with every hue of the target turned by one bin either way.
template <typename T>
double HueTurnedIntersection(const T* query, const T* target);

// Mean over the three channels of the correlation of the 16 block means
// (cell-major, 3 values a cell), over the cells that hold a colour in both
// pictures (a picture too small for the grid leaves some cells all 0). A
// channel that is flat in both pictures counts as alike (1), flat in only
// one as unrelated (0); with no cell in common, two pictures without any
// cell are alike, others unrelated.
template <typename T>
double LayoutCorrelation(const T* query, const T* target);

// The colour half of the measure from its four earlier parts (a pair without
// relative histograms) and from its present four.
double RobustColor(double structure, double histogram, double hueTurned, double layout);
double RobustRelativeColor(double structure, double histogram, double layout, double relative);

// Intersection of two colour histograms (64 bins of counts) each scaled to
// sum 1: the histogram mode's similarity. Two empty histograms are alike,
// one empty one is like nothing.
template <typename T>
double HistogramOverlap(const T* query, const T* target);

// The features of one picture the colour half reads.
template <typename T>
struct RobustFeatures {
  const T* structure;  // kRobustStructureBins
  const T* histogram;  // kRobustHistogramBins
  const T* means;      // 3 * kRobustCells
  const T* relative;   // kRelativeBins, or null when the signature has none
};

// The colour half from both pictures' features.
template <typename T>
double RobustColorOf(const RobustFeatures<T>& query, const RobustFeatures<T>& target);

// How far the edge measure is trusted for a picture, 0..1: full once its
// shorter side holds 16 patches.
double EdgeTrust(std::uint32_t imageWidth, std::uint32_t imageHeight, std::uint32_t patchWidth,
                 std::uint32_t patchHeight);

// The combined score: the edge weight (1 - colourWeight) scaled by trust
// (the lower of the two pictures'), the colour half taking the rest.
double RobustScore(double edge, double color, double colorWeight, double trust);
