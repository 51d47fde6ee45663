// The relative histogram: the same for a picture whose hues were all turned
// or whose saturations were all scaled, different for another picture.
#include "retrieval/relative_histogram.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>

namespace {

struct Rgb {
  double r, g, b;
};

// h in turns, s and v in 0..1.
Rgb fromHsv(double h, double s, double v) {
  h = (h - std::floor(h)) * 6.0;
  const int i = static_cast<int>(h) % 6;
  const double f = h - std::floor(h);
  const double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
  const Rgb c[] = {{v, t, p}, {q, v, p}, {p, v, t}, {p, q, v}, {t, p, v}, {v, p, q}};
  return {c[i].r * 255, c[i].g * 255, c[i].b * 255};
}

// Patch averages of a picture of a few colours in patches of their own, each
// colour given as (hue, saturation, value) and then edited.
KPX::Matrix<double> averages(unsigned seed,
                             const std::function<Rgb(double, double, double)>& make) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  double hues[5], sats[5], vals[5];
  for (int k = 0; k < 5; ++k) {
    hues[k] = u(random);
    sats[k] = 0.3 + 0.6 * u(random);
    vals[k] = 0.2 + 0.7 * u(random);
  }
  KPX::Matrix<double> a(3, 400);
  for (std::uint32_t p = 0; p < 400; ++p) {
    const int k = static_cast<int>(u(random) * 5) % 5;
    const Rgb c = make(hues[k] + 0.02 * u(random), sats[k] * (0.9 + 0.1 * u(random)), vals[k]);
    a[0][p] = c.r;
    a[1][p] = c.g;
    a[2][p] = c.b;
  }
  return a;
}

double overlap(const KPX::Vector<double>& a, const KPX::Vector<double>& b) {
  double sum = 0.0;
  for (std::uint32_t k = 0; k < a.count(); ++k) sum += std::min(a[k], b[k]);
  return sum;
}

KPX::Vector<double> histogramOf(const KPX::Matrix<double>& a) {
  KPX::Vector<double> h;
  RelativeHistogram(a, a.cols(), h);
  return h;
}

TEST(RelativeHistogram, SumsToOneAndIsEmptyWithoutPatches) {
  const KPX::Vector<double> h = histogramOf(averages(1, fromHsv));
  ASSERT_EQ(h.count(), kRelativeBins);
  double sum = 0.0;
  for (std::uint32_t k = 0; k < h.count(); ++k) {
    EXPECT_GE(h[k], 0.0);
    sum += h[k];
  }
  EXPECT_NEAR(sum, 1.0, 1e-12);
  KPX::Vector<double> none;
  RelativeHistogram(KPX::Matrix<double>(3, 0), 0, none);
  ASSERT_EQ(none.count(), kRelativeBins);
  for (std::uint32_t k = 0; k < none.count(); ++k) EXPECT_EQ(none[k], 0.0);
}

// A grey picture keeps all its weight at the lowest saturation, whatever
// noise its hues carry or values out of range it holds.
TEST(RelativeHistogram, AGreyPictureStaysAtTheLowestSaturation) {
  KPX::Matrix<double> a(3, 64);
  for (std::uint32_t p = 0; p < 64; ++p) {
    a[0][p] = 100 + p % 3;
    a[1][p] = 100;
    a[2][p] = 101 - p % 2;
  }
  // Out of range, each patch counts as black or white, not as a colour.
  for (std::uint32_t c = 0; c < 3; ++c) {
    a[c][5] = std::nan("");
    a[c][6] = -1e300;
    a[c][7] = 1e300;
  }
  const KPX::Vector<double> h = histogramOf(a);
  double lowest = 0.0;
  for (std::uint32_t hue = 0; hue < kRelativeHues; ++hue)
    for (std::uint32_t v = 0; v < kRelativeValues; ++v)
      lowest += h[(hue * kRelativeSaturations) * kRelativeValues + v];
  EXPECT_NEAR(lowest, 1.0, 1e-12);
}

TEST(RelativeHistogram, TurnedHuesAndScaledSaturationsKeepItWhereOtherPicturesDoNot) {
  const KPX::Vector<double> original = histogramOf(averages(7, fromHsv));
  struct Edit {
    const char* name;
    std::function<Rgb(double, double, double)> make;
  };
  const Edit edits[] = {
      {"hue +25 degrees",
       [](double h, double s, double v) { return fromHsv(h + 25.0 / 360, s, v); }},
      {"hue -90 degrees", [](double h, double s, double v) { return fromHsv(h - 0.25, s, v); }},
      {"saturation x 0.7", [](double h, double s, double v) { return fromHsv(h, s * 0.7, v); }},
      {"both", [](double h, double s, double v) { return fromHsv(h + 25.0 / 360, s * 0.7, v); }},
  };
  for (const Edit& e : edits)
    EXPECT_GT(overlap(original, histogramOf(averages(7, e.make))), 0.9) << e.name;
  for (unsigned other : {8u, 9u, 10u})
    EXPECT_LT(overlap(original, histogramOf(averages(other, fromHsv))), 0.6) << other;
}

}  // namespace
