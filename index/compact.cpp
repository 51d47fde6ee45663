#include "index/compact.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "retrieval/color_similarity.h"
#include "retrieval/robust_similarity.h"
#include "retrieval/search.h"

namespace {

constexpr std::size_t kBandsPerAxis = 4;
static_assert(kCompactStructure == kRobustStructureBins && kCompactBlockMeans == 3 * kRobustCells &&
                  kCompactHistogram == kRobustHistogramBins,
              "the robust measure reads the compact features as the full ones");
constexpr double kPi = 3.14159265358979323846;

template <std::size_t N>
void copyFeature(const double* from, std::size_t count, std::array<float, N>& to) {
  to.fill(0.0f);
  for (std::size_t k = 0; k < std::min(count, N); ++k) to[k] = static_cast<float>(from[k]);
}

// cos((2x + 1) u pi / 2n) for every u, x of one axis.
std::vector<double> dctTable(std::uint32_t n) {
  std::vector<double> t(static_cast<std::size_t>(n) * n);
  for (std::uint32_t u = 0; u < n; ++u)
    for (std::uint32_t x = 0; x < n; ++x)
      t[u * n + x] = std::cos((2.0 * x + 1.0) * u * kPi / (2.0 * n));
  return t;
}

void edgeProfile(const Signature& s, std::array<float, kCompactBands>& profile) {
  profile.fill(0.0f);
  const std::uint32_t pw = s.patchWidth, ph = s.patchHeight;
  const std::uint32_t plane = pw * ph;
  if (plane == 0 || s.bases.cols() != 3 * plane || s.baseNorms.count() != s.bases.rows()) return;
  const std::uint32_t used = std::min<std::uint32_t>(s.bases.rows(), kSearchBaseLimit);
  const std::vector<double> cx = dctTable(pw), cy = dctTable(ph);
  std::array<double, kCompactBands> sum{};
  std::vector<double> rowsDone(static_cast<std::size_t>(ph) * pw);
  for (std::uint32_t i = 0; i < used; ++i) {
    const double norm = s.baseNorms[i];
    if (!(norm > 0.0)) continue;
    const double* base = s.bases[i];
    for (std::uint32_t c = 0; c < 3; ++c) {
      const double* p = base + c * plane;
      // Separable transform: rows first, then columns.
      for (std::uint32_t y = 0; y < ph; ++y)
        for (std::uint32_t u = 0; u < pw; ++u) {
          double a = 0.0;
          for (std::uint32_t x = 0; x < pw; ++x) a += cx[u * pw + x] * p[y * pw + x];
          rowsDone[y * pw + u] = a;
        }
      for (std::uint32_t v = 0; v < ph; ++v)
        for (std::uint32_t u = 0; u < pw; ++u) {
          double a = 0.0;
          for (std::uint32_t y = 0; y < ph; ++y) a += cy[v * ph + y] * rowsDone[y * pw + u];
          const std::size_t bu = std::min<std::size_t>(u * kBandsPerAxis / pw, kBandsPerAxis - 1);
          const std::size_t bv = std::min<std::size_t>(v * kBandsPerAxis / ph, kBandsPerAxis - 1);
          sum[c * kBandsPerAxis * kBandsPerAxis + bv * kBandsPerAxis + bu] += a * a / (norm * norm);
        }
    }
  }
  double total = 0.0;
  for (double v : sum) total += v;
  if (!(total > 0.0)) return;
  for (std::size_t k = 0; k < kCompactBands; ++k) profile[k] = static_cast<float>(sum[k] / total);
}

double compactBlockMeans(const CompactSignature& q, const CompactSignature& t) {
  double sum = 0.0;
  for (std::size_t i = 0; i < kCompactBlockMeans; i += 3) {
    double qq = 0.0, tt = 0.0, qt = 0.0;
    for (std::size_t k = i; k < i + 3; ++k) {
      qq += double{q.blockMeans[k]} * q.blockMeans[k];
      tt += double{t.blockMeans[k]} * t.blockMeans[k];
      qt += double{q.blockMeans[k]} * t.blockMeans[k];
    }
    if (qq == 0.0 && tt == 0.0)
      sum += 1.0;
    else if (qq != 0.0 && tt != 0.0)
      sum += qt / std::sqrt(qq * tt);
  }
  return sum / (kCompactBlockMeans / 3);
}

}  // namespace

CompactSignature MakeCompact(const Signature& s) {
  CompactSignature c;
  c.learningMethod = s.learningMethod;
  copyFeature(s.blockMeans.data(), s.blockMeans.count(), c.blockMeans);
  copyFeature(s.histogram.data(), s.histogram.count(), c.histogram);
  copyFeature(s.structure.data(), s.structure.count(), c.structure);
  c.hasRelative = s.relativeHistogram.count() == kRelativeBins;
  if (c.hasRelative) copyFeature(s.relativeHistogram.data(), kRelativeBins, c.relative);
  edgeProfile(s, c.edgeProfile);
  return c;
}

double CompactColorSimilarity(const CompactSignature& q, const CompactSignature& t,
                              std::int32_t colorMode) {
  switch (colorMode) {
    case ColorSimilarity::kBlockMean:
      return compactBlockMeans(q, t);
    case ColorSimilarity::kHistogram: {
      double sq = 0.0, st = 0.0;
      for (std::size_t k = 0; k < kCompactHistogram; ++k) {
        sq += q.histogram[k];
        st += t.histogram[k];
      }
      if (sq == 0.0 || st == 0.0) return sq == 0.0 && st == 0.0 ? 1.0 : 0.0;
      double distance = 0.0;
      for (std::size_t k = 0; k < kCompactHistogram; ++k)
        distance += std::fabs(q.histogram[k] / sq - t.histogram[k] / st);
      return 1.0 - 0.5 * distance;
    }
    case ColorSimilarity::kColorStructure: {
      double sum = 0.0;
      for (std::size_t k = 0; k < kCompactStructure; ++k)
        sum += std::min(q.structure[k], t.structure[k]);
      return sum;
    }
    case kRobustColorMode: {
      const auto features = [](const CompactSignature& c) {
        return RobustFeatures<float>{c.structure.data(), c.histogram.data(), c.blockMeans.data(),
                                     c.hasRelative ? c.relative.data() : nullptr};
      };
      return RobustColorOf(features(q), features(t));
    }
    default:
      return 0.0;
  }
}

double CompactEdgeSimilarity(const CompactSignature& q, const CompactSignature& t) {
  double sum = 0.0;
  for (std::size_t k = 0; k < kCompactBands; ++k)
    sum += std::min(q.edgeProfile[k], t.edgeProfile[k]);
  return sum;
}
