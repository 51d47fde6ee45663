// The robust measure: a search that still finds a photograph after the edits
// people make to whole pictures (a tone curve, a hue turn, desaturation, a
// copy a few dozen pixels wide). It reads only the features every index
// already holds, so old indexes serve it unchanged:
//   - the colour structure histogram with each hue shared with its two
//     neighbours, so that a hue turned by less than a bin still meets itself;
//   - the layout: each channel's 4 x 4 block means, less their mean and
//     scaled to unit length, correlated cell by cell; a tone curve or a
//     saturation change keeps the order of the cells and so the correlation;
//   - the block means' own cosine, which survives resizing;
//   - the edge measure, trusted less when either picture has too few patches
//     for its learned bases to mean much.
// The functions take the features as flat arrays of floats or doubles, so
// that the exact ranking and the compact estimate compute the same thing.
#pragma once

#include <cstddef>
#include <cstdint>

// The measure's number among the colour modes.
inline constexpr std::int32_t kRobustColorMode = 3;

inline constexpr std::size_t kRobustHues = 8;
inline constexpr std::size_t kRobustStructureBins = 128;  // 8 hues x 4 x 4
inline constexpr std::size_t kRobustCells = 16;           // 4 x 4 cells, 3 channels each

// Intersection of two colour structure histograms (hue-major, 128 bins),
// each hue bin first spread half over itself and a quarter over each
// neighbouring hue (hue is circular).
template <typename T>
double HueTolerantIntersection(const T* query, const T* target);

// Mean over the three channels of the correlation of the 16 block means
// (cell-major, 3 values a cell). A channel that is flat in both pictures
// counts as alike (1), flat in only one as unrelated (0).
template <typename T>
double LayoutCorrelation(const T* query, const T* target);

// The colour half of the measure from its three parts.
double RobustColor(double hueTolerant, double layout, double blockMeans);

// How far the edge measure is trusted for a picture, 0..1: full once its
// shorter side holds 16 patches.
double EdgeTrust(std::uint32_t imageWidth, std::uint32_t imageHeight, std::uint32_t patchWidth,
                 std::uint32_t patchHeight);

// The combined score: the edge weight (1 - colourWeight) scaled by trust
// (the lower of the two pictures'), the colour half taking the rest.
double RobustScore(double edge, double color, double colorWeight, double trust);
