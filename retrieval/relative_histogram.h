// The colour histogram of a picture relative to its own colours: hues
// measured from the picture's mean hue (the circular mean, each patch
// weighted by its saturation) and saturations from its most saturated
// patches (the 98th percentile). Turning every hue of a picture, or scaling
// every saturation, leaves this histogram nearly as it was, where the plain
// histograms move every patch to other bins. Values are not taken relative:
// they carry what tells a dark picture from a bright one.
//
// Each patch average is spread over the eight bins around it (linear in
// hue, saturation and value), so that an edit that moves a colour a little
// moves a little of its weight, not all of it across a bin's edge.
#pragma once

#include <cstddef>
#include <cstdint>

#include "numeric/matrix.h"

inline constexpr std::size_t kRelativeHues = 8;
inline constexpr std::size_t kRelativeSaturations = 4;
inline constexpr std::size_t kRelativeValues = 4;
// Hue-major: bin (hue * 4 + saturation) * 4 + value.
inline constexpr std::size_t kRelativeBins = kRelativeHues * kRelativeSaturations * kRelativeValues;

// The histogram of the patch averages (3 x N, read as red, green and blue of
// 0..255 in stored order, like the other colour features), summing to 1;
// all 0 when there are no patches. Averages beyond 0..255 count as the
// nearest end, and any that is not a number as 0.
void RelativeHistogram(const KPX::Matrix<double>& averages, std::uint64_t patches,
                       KPX::Vector<double>& histogram);
