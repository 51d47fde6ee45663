#include "retrieval/relative_histogram.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double kTurn = 6.283185307179586;
// Below this saturation (8 of 255) the most saturated patches are grey, and
// their hues are noise: the picture is taken as grey throughout.
constexpr double kGreySaturation = 8.0 / 255.0;
constexpr double kReferencePercentile = 0.98;

struct Hsv {
  double h;  // turns, 0..1
  double s;  // 0..1
  double v;  // 0..1
};

// Within 0..255; a value that is not a number counts as 0.
double level(double x) { return x > 255.0 ? 255.0 : x > 0.0 ? x : 0.0; }

Hsv hsvOf(double r, double g, double b) {
  r = level(r);
  g = level(g);
  b = level(b);
  const double max = std::max({r, g, b}), min = std::min({r, g, b});
  const double d = max - min;
  Hsv out{0.0, max > 0.0 ? d / max : 0.0, max / 256.0};
  if (d > 0.0) {
    double t = max == r ? (g - b) / d : max == g ? (b - r) / d + 2.0 : (r - g) / d + 4.0;
    if (t < 0.0) t += 6.0;
    out.h = t / 6.0;
  }
  return out;
}

// The value at fraction q of the sorted values, interpolated between the two
// nearest (values is reordered).
double percentile(std::vector<double>& values, double q) {
  const double position = q * static_cast<double>(values.size() - 1);
  const std::size_t low = static_cast<std::size_t>(position);
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(low), values.end());
  const double a = values[low];
  if (low + 1 >= values.size()) return a;
  const double b =
      *std::min_element(values.begin() + static_cast<std::ptrdiff_t>(low) + 1, values.end());
  return a + (position - static_cast<double>(low)) * (b - a);
}

// The two bins a coordinate (in bins, centres at whole numbers) falls
// between and the share of each; ends clamp, or wrap when circular.
struct Split {
  std::size_t bin[2];
  double share[2];
};

Split split(double x, std::size_t bins, bool circular) {
  const double f = std::floor(x);
  const double upper = x - f;
  const long long i = static_cast<long long>(f);
  const long long n = static_cast<long long>(bins);
  std::size_t low, high;
  if (circular) {
    const long long wrapped = ((i % n) + n) % n;
    low = static_cast<std::size_t>(wrapped);
    high = static_cast<std::size_t>((wrapped + 1) % n);
  } else {
    low = static_cast<std::size_t>(std::clamp(i, 0LL, n - 1));
    high = static_cast<std::size_t>(std::clamp(i + 1, 0LL, n - 1));
  }
  return {{low, high}, {1.0 - upper, upper}};
}

}  // namespace

void RelativeHistogram(const KPX::Matrix<double>& averages, std::uint64_t patches,
                       KPX::Vector<double>& histogram) {
  histogram.resize(kRelativeBins);
  std::fill(histogram.data(), histogram.data() + kRelativeBins, 0.0);
  if (patches == 0 || averages.rows() < 3 || averages.cols() < patches) return;
  std::vector<Hsv> hsv(patches);
  std::vector<double> saturations(patches);
  double c = 0.0, s = 0.0;
  for (std::uint64_t k = 0; k < patches; ++k) {
    hsv[k] = hsvOf(averages[0][k], averages[1][k], averages[2][k]);
    saturations[k] = hsv[k].s;
    c += hsv[k].s * std::cos(kTurn * hsv[k].h);
    s += hsv[k].s * std::sin(kTurn * hsv[k].h);
  }
  const double meanHue = c == 0.0 && s == 0.0 ? 0.0 : std::atan2(s, c) / kTurn;
  const double reference = percentile(saturations, kReferencePercentile);
  const bool grey = !(reference > kGreySaturation);
  const double weight = 1.0 / static_cast<double>(patches);
  double* h = histogram.data();
  for (const Hsv& p : hsv) {
    double turn = p.h - meanHue;
    turn -= std::floor(turn);
    const Split hs = split(turn * kRelativeHues - 0.5, kRelativeHues, true);
    const Split ss = split(grey ? -0.5 : p.s / reference * kRelativeSaturations - 0.5,
                           kRelativeSaturations, false);
    const Split vs = split(p.v * kRelativeValues - 0.5, kRelativeValues, false);
    for (int a = 0; a < 2; ++a)
      for (int b = 0; b < 2; ++b)
        for (int d = 0; d < 2; ++d)
          h[(hs.bin[a] * kRelativeSaturations + ss.bin[b]) * kRelativeValues + vs.bin[d]] +=
              weight * hs.share[a] * ss.share[b] * vs.share[d];
  }
}
