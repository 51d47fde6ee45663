#include "retrieval/robust_similarity.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr std::size_t kChannels = 3;
constexpr std::size_t kBinsPerHue = kRobustStructureBins / kRobustHues;
// Below this length (a root mean square of a quarter level over 16 cells)
// a channel's layout is quantisation noise, not structure.
constexpr double kFlatLength = 1.0;
constexpr double kTrustedPatches = 16.0;
// The colour half's parts: the histogram carries crops and rotations, the
// layout tone and hue edits, the block means tiny copies.
constexpr double kHuePart = 0.6;
constexpr double kLayoutPart = 0.2;
constexpr double kBlockPart = 0.2;

template <typename T>
std::array<double, kRobustStructureBins> spreadHues(const T* h) {
  std::array<double, kRobustStructureBins> out{};
  for (std::size_t hue = 0; hue < kRobustHues; ++hue) {
    const std::size_t before = (hue + kRobustHues - 1) % kRobustHues;
    const std::size_t after = (hue + 1) % kRobustHues;
    for (std::size_t k = 0; k < kBinsPerHue; ++k)
      out[hue * kBinsPerHue + k] = 0.5 * h[hue * kBinsPerHue + k] +
                                   0.25 * h[before * kBinsPerHue + k] +
                                   0.25 * h[after * kBinsPerHue + k];
  }
  return out;
}

// One channel's cells less their mean, and the length of what is left.
template <typename T>
double centred(const T* means, std::size_t channel, std::array<double, kRobustCells>& out) {
  double mean = 0.0;
  for (std::size_t c = 0; c < kRobustCells; ++c) mean += means[c * kChannels + channel];
  mean /= kRobustCells;
  double length = 0.0;
  for (std::size_t c = 0; c < kRobustCells; ++c) {
    out[c] = means[c * kChannels + channel] - mean;
    length += out[c] * out[c];
  }
  return std::sqrt(length);
}

}  // namespace

template <typename T>
double HueTolerantIntersection(const T* query, const T* target) {
  const auto q = spreadHues(query), t = spreadHues(target);
  double sum = 0.0;
  for (std::size_t k = 0; k < kRobustStructureBins; ++k) sum += std::min(q[k], t[k]);
  return sum;
}

template <typename T>
double LayoutCorrelation(const T* query, const T* target) {
  double sum = 0.0;
  std::array<double, kRobustCells> q{}, t{};
  for (std::size_t channel = 0; channel < kChannels; ++channel) {
    const double lq = centred(query, channel, q), lt = centred(target, channel, t);
    const bool flatQ = !(lq >= kFlatLength), flatT = !(lt >= kFlatLength);
    if (flatQ || flatT) {
      sum += flatQ && flatT ? 1.0 : 0.0;
      continue;
    }
    double dot = 0.0;
    for (std::size_t c = 0; c < kRobustCells; ++c) dot += q[c] * t[c];
    sum += dot / (lq * lt);
  }
  return sum / kChannels;
}

template double HueTolerantIntersection<float>(const float*, const float*);
template double HueTolerantIntersection<double>(const double*, const double*);
template double LayoutCorrelation<float>(const float*, const float*);
template double LayoutCorrelation<double>(const double*, const double*);

double RobustColor(double hueTolerant, double layout, double blockMeans) {
  return kHuePart * hueTolerant + kLayoutPart * layout + kBlockPart * blockMeans;
}

double EdgeTrust(std::uint32_t imageWidth, std::uint32_t imageHeight, std::uint32_t patchWidth,
                 std::uint32_t patchHeight) {
  if (patchWidth == 0 || patchHeight == 0) return 0.0;
  const std::uint32_t columns = (imageWidth + patchWidth - 1) / patchWidth;
  const std::uint32_t rows = (imageHeight + patchHeight - 1) / patchHeight;
  return std::min(1.0, std::min(columns, rows) / kTrustedPatches);
}

double RobustScore(double edge, double color, double colorWeight, double trust) {
  const double e = (1.0 - colorWeight) * trust;
  return e * edge + (1.0 - e) * color;
}
