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
// The colour half's parts: the colour structure carries crops and rotations
// and keeps photographs apart, the plain histogram tiny copies, the turned
// structure hue edits, the layout tone edits. Chosen on half of a set of
// edited photographs, checked on the other half.
constexpr double kStructurePart = 0.4;
constexpr double kHistogramPart = 0.3;
constexpr double kHueTurnedPart = 0.15;
constexpr double kLayoutPart = 0.15;

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

// Sum over n bins of min(a * fa, b * fb), in four running sums: one sum's
// chain of additions would make the loop wait on every bin.
template <typename A, typename B>
double minSum(const A* a, const B* b, std::size_t n, double fa = 1.0, double fb = 1.0) {
  double sum[4] = {0.0, 0.0, 0.0, 0.0};
  for (std::size_t k = 0; k < n; ++k) sum[k % 4] += std::min(a[k] * fa, b[k] * fb);
  return (sum[0] + sum[1]) + (sum[2] + sum[3]);
}

using Cells = std::array<bool, kRobustCells>;

template <typename T>
bool emptyCell(const T* means, std::size_t c) {
  return means[c * kChannels] == 0 && means[c * kChannels + 1] == 0 &&
         means[c * kChannels + 2] == 0;
}

// One channel's used cells less their mean (the others 0), and the length of
// what is left.
template <typename T>
double centred(const T* means, std::size_t channel, const Cells& used, std::size_t count,
               std::array<double, kRobustCells>& out) {
  double mean = 0.0;
  for (std::size_t c = 0; c < kRobustCells; ++c)
    if (used[c]) mean += means[c * kChannels + channel];
  mean /= static_cast<double>(count);
  double length = 0.0;
  for (std::size_t c = 0; c < kRobustCells; ++c) {
    out[c] = used[c] ? means[c * kChannels + channel] - mean : 0.0;
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
double HueTurnedIntersection(const T* query, const T* target) {
  const auto q = spreadHues(query), t = spreadHues(target);
  double best = 0.0;
  for (std::size_t turn : {std::size_t{0}, std::size_t{1}, kRobustHues - 1}) {
    double sum = 0.0;
    for (std::size_t hue = 0; hue < kRobustHues; ++hue)
      sum += minSum(q.data() + hue * kBinsPerHue,
                    t.data() + ((hue + turn) % kRobustHues) * kBinsPerHue, kBinsPerHue);
    best = std::max(best, sum);
  }
  return best;
}

template <typename T>
double LayoutCorrelation(const T* query, const T* target) {
  Cells used{};
  std::size_t count = 0, emptyQ = 0, emptyT = 0;
  for (std::size_t c = 0; c < kRobustCells; ++c) {
    const bool eq = emptyCell(query, c), et = emptyCell(target, c);
    emptyQ += eq;
    emptyT += et;
    used[c] = !eq && !et;
    count += used[c];
  }
  if (count == 0) return emptyQ == kRobustCells && emptyT == kRobustCells ? 1.0 : 0.0;
  // The flatness bound holds for the root mean square over the cells used.
  const double scale = std::sqrt(static_cast<double>(kRobustCells) / static_cast<double>(count));
  double sum = 0.0;
  std::array<double, kRobustCells> q{}, t{};
  for (std::size_t channel = 0; channel < kChannels; ++channel) {
    const double lq = centred(query, channel, used, count, q);
    const double lt = centred(target, channel, used, count, t);
    const bool flatQ = !(lq * scale >= kFlatLength), flatT = !(lt * scale >= kFlatLength);
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

template <typename T>
double HistogramOverlap(const T* query, const T* target) {
  double sq = 0.0, st = 0.0;
  for (std::size_t k = 0; k < kRobustHistogramBins; ++k) {
    sq += query[k];
    st += target[k];
  }
  if (sq == 0.0 || st == 0.0) return sq == 0.0 && st == 0.0 ? 1.0 : 0.0;
  const double fq = 1.0 / sq, ft = 1.0 / st;
  return minSum(query, target, kRobustHistogramBins, fq, ft);
}

template <typename T>
double RobustColorOf(const RobustFeatures<T>& query, const RobustFeatures<T>& target) {
  return RobustColor(minSum(query.structure, target.structure, kRobustStructureBins),
                     HistogramOverlap(query.histogram, target.histogram),
                     HueTurnedIntersection(query.structure, target.structure),
                     LayoutCorrelation(query.means, target.means));
}

template double HueTurnedIntersection<float>(const float*, const float*);
template double HueTurnedIntersection<double>(const double*, const double*);
template double LayoutCorrelation<float>(const float*, const float*);
template double LayoutCorrelation<double>(const double*, const double*);
template double HistogramOverlap<float>(const float*, const float*);
template double HistogramOverlap<double>(const double*, const double*);
template double RobustColorOf<float>(const RobustFeatures<float>&, const RobustFeatures<float>&);
template double RobustColorOf<double>(const RobustFeatures<double>&, const RobustFeatures<double>&);

double RobustColor(double structure, double histogram, double hueTurned, double layout) {
  return kStructurePart * structure + kHistogramPart * histogram + kHueTurnedPart * hueTurned +
         kLayoutPart * layout;
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
