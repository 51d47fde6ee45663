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
// and keeps photographs apart, the plain histogram tiny copies, the relative
// histogram hue and saturation edits, the layout tone edits. Chosen on half
// of a set of edited photographs, checked on the other half.
constexpr double kStructurePart = 0.35;
constexpr double kHistogramPart = 0.1;
constexpr double kLayoutPart = 0.2;
constexpr double kRelativePart = 0.35;
// The parts for signatures without a relative histogram, where the turned
// structure stands in for it.
constexpr double kEarlierStructurePart = 0.4;
constexpr double kEarlierHistogramPart = 0.3;
constexpr double kEarlierHueTurnedPart = 0.15;
constexpr double kEarlierLayoutPart = 0.15;

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

// Sum over n bins of min(a * fa, b * fb), in eight running sums of the
// inputs' own type: lanes that do not wait on each other, which the
// compiler turns into vector instructions (floats for the estimate of every
// candidate, doubles for the exact measure).
template <std::size_t N, typename T>
double minSum(const T* a, const T* b, T fa = 1, T fb = 1) {
  constexpr std::size_t kLanes = 8;
  static_assert(N % kLanes == 0, "whole lanes");
  T sum[kLanes] = {};
  for (std::size_t k = 0; k < N; k += kLanes)
    for (std::size_t j = 0; j < kLanes; ++j) sum[j] += std::min(a[k + j] * fa, b[k + j] * fb);
  double total = 0.0;
  for (const T v : sum) total += v;
  return total;
}

template <typename T>
bool emptyCell(const T* means, std::size_t c) {
  return means[c * kChannels] == 0 && means[c * kChannels + 1] == 0 &&
         means[c * kChannels + 2] == 0;
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
      sum += minSum<kBinsPerHue>(q.data() + hue * kBinsPerHue,
                                 t.data() + ((hue + turn) % kRobustHues) * kBinsPerHue);
    best = std::max(best, sum);
  }
  return best;
}

template <typename T>
double LayoutCorrelation(const T* query, const T* target) {
  std::size_t count = 0, emptyQ = 0, emptyT = 0;
  // Each channel's sums over the cells both pictures fill, in one pass: the
  // estimate computes this for every candidate.
  double sq[kChannels] = {}, st[kChannels] = {}, sqq[kChannels] = {}, stt[kChannels] = {},
         sqt[kChannels] = {};
  for (std::size_t c = 0; c < kRobustCells; ++c) {
    const bool eq = emptyCell(query, c), et = emptyCell(target, c);
    emptyQ += eq;
    emptyT += et;
    if (eq || et) continue;
    ++count;
    for (std::size_t channel = 0; channel < kChannels; ++channel) {
      const double q = query[c * kChannels + channel], t = target[c * kChannels + channel];
      sq[channel] += q;
      st[channel] += t;
      sqq[channel] += q * q;
      stt[channel] += t * t;
      sqt[channel] += q * t;
    }
  }
  if (count == 0) return emptyQ == kRobustCells && emptyT == kRobustCells ? 1.0 : 0.0;
  const double n = static_cast<double>(count);
  // The flatness bound holds for the root mean square over the cells used.
  const double scale = std::sqrt(static_cast<double>(kRobustCells) / n);
  double sum = 0.0;
  for (std::size_t channel = 0; channel < kChannels; ++channel) {
    const double lq = std::sqrt(std::max(0.0, sqq[channel] - sq[channel] * sq[channel] / n));
    const double lt = std::sqrt(std::max(0.0, stt[channel] - st[channel] * st[channel] / n));
    const bool flatQ = !(lq * scale >= kFlatLength), flatT = !(lt * scale >= kFlatLength);
    if (flatQ || flatT) {
      sum += flatQ && flatT ? 1.0 : 0.0;
      continue;
    }
    const double dot = sqt[channel] - sq[channel] * st[channel] / n;
    sum += std::clamp(dot / (lq * lt), -1.0, 1.0);
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
  return minSum<kRobustHistogramBins>(query, target, static_cast<T>(1.0 / sq),
                                      static_cast<T>(1.0 / st));
}

template <typename T>
double RobustColorOf(const RobustFeatures<T>& query, const RobustFeatures<T>& target) {
  const double structure = minSum<kRobustStructureBins>(query.structure, target.structure);
  const double histogram = HistogramOverlap(query.histogram, target.histogram);
  const double layout = LayoutCorrelation(query.means, target.means);
  if (query.relative == nullptr || target.relative == nullptr)
    return RobustColor(structure, histogram,
                       HueTurnedIntersection(query.structure, target.structure), layout);
  return RobustRelativeColor(structure, histogram, layout,
                             minSum<kRelativeBins>(query.relative, target.relative));
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
  return kEarlierStructurePart * structure + kEarlierHistogramPart * histogram +
         kEarlierHueTurnedPart * hueTurned + kEarlierLayoutPart * layout;
}

double RobustRelativeColor(double structure, double histogram, double layout, double relative) {
  return kStructurePart * structure + kHistogramPart * histogram + kLayoutPart * layout +
         kRelativePart * relative;
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
