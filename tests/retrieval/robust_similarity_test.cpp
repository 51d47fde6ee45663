// The robust measure's parts on made-up features: what each is meant to
// survive, and what it must still tell apart.
#include "retrieval/robust_similarity.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace {

using Structure = std::array<double, kRobustStructureBins>;
using Means = std::array<double, 3 * kRobustCells>;

// All the mass in one bin of a hue (saturation and value fixed).
Structure oneHue(std::size_t hue) {
  Structure h{};
  h[hue * (kRobustStructureBins / kRobustHues) + 5] = 1.0;
  return h;
}

TEST(HueTolerantIntersection, MeetsANeighbouringHueHalfwayAndAFarOneNotAtAll) {
  struct Case {
    std::size_t from, to;
    double expected;
  };
  // Spread 1/4, 1/2, 1/4: one bin apart the spreads overlap by 1/4 + 1/4,
  // two apart by 1/4, further not; hue is circular (7 and 0 are neighbours).
  for (const Case& c : {Case{3, 3, 1.0}, Case{3, 4, 0.5}, Case{3, 5, 0.25}, Case{3, 6, 0.0},
                        Case{7, 0, 0.5}, Case{0, 6, 0.25}}) {
    const Structure a = oneHue(c.from), b = oneHue(c.to);
    EXPECT_DOUBLE_EQ(HueTolerantIntersection(a.data(), b.data()), c.expected)
        << c.from << " against " << c.to;
  }
}

TEST(HueTurnedIntersection, MeetsAHueTurnedByOneBinFullyAndAFarOneNotAtAll) {
  struct Case {
    std::size_t from, to;
    double expected;
  };
  // One bin apart a turn brings the spreads onto each other; two apart the
  // best turn leaves them one apart (1/2); four apart the best leaves three.
  for (const Case& c : {Case{3, 3, 1.0}, Case{3, 4, 1.0}, Case{4, 3, 1.0}, Case{7, 0, 1.0},
                        Case{3, 5, 0.5}, Case{0, 6, 0.5}, Case{3, 7, 0.0}}) {
    const Structure a = oneHue(c.from), b = oneHue(c.to);
    EXPECT_DOUBLE_EQ(HueTurnedIntersection(a.data(), b.data()), c.expected)
        << c.from << " against " << c.to;
  }
}

TEST(HueTolerantIntersection, FloatsAndDoublesAgree) {
  Structure a{}, b{};
  std::array<float, kRobustStructureBins> fa{}, fb{};
  for (std::size_t k = 0; k < kRobustStructureBins; ++k) {
    a[k] = fa[k] = static_cast<float>((k * 7 % 13) / 800.0);
    b[k] = fb[k] = static_cast<float>((k * 5 % 11) / 700.0);
  }
  EXPECT_NEAR(HueTolerantIntersection(a.data(), b.data()),
              HueTolerantIntersection(fa.data(), fb.data()), 1e-6);
  EXPECT_NEAR(HueTurnedIntersection(a.data(), b.data()),
              HueTurnedIntersection(fa.data(), fb.data()), 1e-6);
}

// A layout whose three channels rise across the cells in different orders.
Means layout() {
  Means m{};
  for (std::size_t c = 0; c < kRobustCells; ++c) {
    m[c * 3 + 0] = 20.0 + 10.0 * c;
    m[c * 3 + 1] = 200.0 - 7.0 * ((c * 5) % kRobustCells);
    m[c * 3 + 2] = 90.0 + 3.0 * ((c * 3) % kRobustCells);
  }
  return m;
}

TEST(LayoutCorrelation, SurvivesChangesOfGainAndOffsetPerChannel) {
  const Means a = layout();
  Means b{};
  const double gain[] = {0.6, 1.3, 0.2}, offset[] = {40.0, -30.0, 5.0};
  for (std::size_t c = 0; c < kRobustCells; ++c)
    for (std::size_t ch = 0; ch < 3; ++ch) b[c * 3 + ch] = gain[ch] * a[c * 3 + ch] + offset[ch];
  EXPECT_NEAR(LayoutCorrelation(a.data(), b.data()), 1.0, 1e-12);
}

TEST(LayoutCorrelation, TellsAMirroredLayoutAndFlatChannelsApart) {
  const Means a = layout();
  Means mirrored{}, flatRed = a, flat{};
  for (std::size_t c = 0; c < kRobustCells; ++c)
    for (std::size_t ch = 0; ch < 3; ++ch)
      mirrored[c * 3 + ch] = a[(kRobustCells - 1 - c) * 3 + ch];
  for (std::size_t c = 0; c < kRobustCells; ++c) flatRed[c * 3] = 77.0;
  flat.fill(128.0);
  EXPECT_LT(LayoutCorrelation(a.data(), mirrored.data()), 0.5);
  // Red flat in one picture only counts 0; green and blue still match.
  EXPECT_NEAR(LayoutCorrelation(a.data(), flatRed.data()), 2.0 / 3.0, 1e-12);
  EXPECT_NEAR(LayoutCorrelation(flatRed.data(), flatRed.data()), 1.0, 1e-12);
  EXPECT_DOUBLE_EQ(LayoutCorrelation(flat.data(), flat.data()), 1.0);
  EXPECT_DOUBLE_EQ(LayoutCorrelation(flat.data(), a.data()), 0.0);
}

TEST(LayoutCorrelation, ComparesOnlyTheCellsBothPicturesFill) {
  // A picture too small for the grid leaves cells at 0: the correlation is
  // taken over the others, so its layout still matches the whole picture's.
  const Means a = layout();
  struct Case {
    std::size_t firstEmpty, emptyCells;
  };
  for (const Case& c : {Case{12, 4}, Case{0, 4}, Case{5, 1}, Case{0, 8}}) {
    Means partial = a;
    for (std::size_t cell = c.firstEmpty; cell < c.firstEmpty + c.emptyCells; ++cell)
      for (std::size_t ch = 0; ch < 3; ++ch) partial[cell * 3 + ch] = 0.0;
    EXPECT_NEAR(LayoutCorrelation(a.data(), partial.data()), 1.0, 1e-12) << c.firstEmpty;
    EXPECT_NEAR(LayoutCorrelation(partial.data(), a.data()), 1.0, 1e-12) << c.firstEmpty;
  }
  // Without a cell in common: two empty grids are alike, one is not.
  Means empty{};
  EXPECT_DOUBLE_EQ(LayoutCorrelation(empty.data(), empty.data()), 1.0);
  EXPECT_DOUBLE_EQ(LayoutCorrelation(empty.data(), a.data()), 0.0);
}

TEST(EdgeTrust, GrowsWithTheShorterSideUpTo16Patches) {
  struct Case {
    std::uint32_t width, height, patch;
    double expected;
  };
  for (const Case& c : {Case{512, 384, 8, 1.0}, Case{128, 2000, 8, 1.0}, Case{85, 64, 8, 0.5},
                        Case{85, 57, 8, 0.5}, Case{1, 1, 8, 1.0 / 16}, Case{64, 64, 0, 0.0}}) {
    EXPECT_DOUBLE_EQ(EdgeTrust(c.width, c.height, c.patch, c.patch), c.expected)
        << c.width << "x" << c.height;
  }
}

TEST(RobustScore, WeighsTheEdgesByTrust) {
  // Full trust is the usual combination; none leaves the colour half alone.
  EXPECT_DOUBLE_EQ(RobustScore(0.2, 0.8, 0.7, 1.0), 0.3 * 0.2 + 0.7 * 0.8);
  EXPECT_DOUBLE_EQ(RobustScore(0.2, 0.8, 0.7, 0.0), 0.8);
  EXPECT_DOUBLE_EQ(RobustScore(0.2, 0.8, 0.7, 0.5), 0.15 * 0.2 + 0.85 * 0.8);
  EXPECT_DOUBLE_EQ(RobustColor(1.0, 1.0, 1.0, 1.0), 1.0);
  EXPECT_DOUBLE_EQ(RobustColor(1.0, 0.0, 0.0, 0.0) + RobustColor(0.0, 1.0, 0.0, 0.0) +
                       RobustColor(0.0, 0.0, 1.0, 0.0) + RobustColor(0.0, 0.0, 0.0, 1.0),
                   1.0);
}

TEST(HistogramOverlap, IgnoresThePictureSizeAndTellsColoursApart) {
  using Histogram = std::array<double, kRobustHistogramBins>;
  Histogram a{}, scaled{}, half{}, other{}, empty{};
  for (std::size_t k = 0; k < kRobustHistogramBins; ++k) {
    a[k] = static_cast<double>(k % 4);
    scaled[k] = 36.0 * a[k];  // the same colours in a picture six times as large
    half[k] = k < kRobustHistogramBins / 2 ? a[k] : 0.0;
    other[k] = k % 4 == 0 ? 1.0 : 0.0;  // only colours a lacks
  }
  struct Case {
    const Histogram *q, *t;
    double expected;
  };
  for (const Case& c :
       {Case{&a, &scaled, 1.0}, Case{&a, &half, 0.5}, Case{&half, &a, 0.5}, Case{&a, &other, 0.0},
        Case{&empty, &empty, 1.0}, Case{&empty, &a, 0.0}, Case{&a, &empty, 0.0}})
    EXPECT_NEAR(HistogramOverlap(c.q->data(), c.t->data()), c.expected, 1e-12);
}

TEST(RobustColorOf, IsOneForAPictureAgainstItselfAndEachDifferingPartTakesItsShare) {
  using Histogram = std::array<double, kRobustHistogramBins>;
  const Structure s = oneHue(2), otherHue = oneHue(6);
  Histogram h{}, otherColours{};
  h[3] = 5.0;
  otherColours[40] = 5.0;
  const Means m = layout();
  Means flipped{};
  for (std::size_t c = 0; c < kRobustCells; ++c)
    for (std::size_t ch = 0; ch < 3; ++ch) flipped[c * 3 + ch] = m[(kRobustCells - 1 - c) * 3 + ch];
  const RobustFeatures<double> picture{s.data(), h.data(), m.data(), nullptr};
  EXPECT_DOUBLE_EQ(RobustColorOf(picture, picture), 1.0);
  struct Case {
    RobustFeatures<double> other;
    double expected;
  };
  // oneHue(2) against oneHue(6): nothing in common, turned or not.
  for (const Case& c :
       {Case{{otherHue.data(), h.data(), m.data(), nullptr}, RobustColor(0.0, 1.0, 0.0, 1.0)},
        Case{{s.data(), otherColours.data(), m.data(), nullptr}, RobustColor(1.0, 0.0, 1.0, 1.0)},
        Case{{s.data(), h.data(), flipped.data(), nullptr},
             RobustColor(1.0, 1.0, 1.0, LayoutCorrelation(m.data(), flipped.data()))}}) {
    EXPECT_DOUBLE_EQ(RobustColorOf(picture, c.other), c.expected);
    EXPECT_LT(RobustColorOf(picture, c.other), 0.95);
  }
}

// With relative histograms on both sides they take the turned structure's
// place; a pair where either lacks one keeps the earlier parts.
TEST(RobustColorOf, ReadsTheRelativeHistogramsWhenBothPicturesHaveThem) {
  using Histogram = std::array<double, kRobustHistogramBins>;
  using Relative = std::array<double, kRelativeBins>;
  const Structure s = oneHue(2), otherHue = oneHue(6);
  Histogram h{};
  h[3] = 5.0;
  const Means m = layout();
  Relative r{}, otherR{};
  r[5] = 1.0;
  otherR[90] = 1.0;
  const RobustFeatures<double> picture{s.data(), h.data(), m.data(), r.data()};
  EXPECT_DOUBLE_EQ(RobustColorOf(picture, picture), 1.0);
  EXPECT_DOUBLE_EQ(RobustRelativeColor(1.0, 1.0, 1.0, 1.0), 1.0);
  struct Case {
    RobustFeatures<double> other;
    double expected;
  };
  for (const Case& c :
       {Case{{s.data(), h.data(), m.data(), otherR.data()},
             RobustRelativeColor(1.0, 1.0, 1.0, 0.0)},
        Case{{otherHue.data(), h.data(), m.data(), r.data()},
             RobustRelativeColor(0.0, 1.0, 1.0, 1.0)},
        Case{{otherHue.data(), h.data(), m.data(), nullptr}, RobustColor(0.0, 1.0, 0.0, 1.0)}}) {
    EXPECT_DOUBLE_EQ(RobustColorOf(picture, c.other), c.expected);
    EXPECT_DOUBLE_EQ(RobustColorOf(c.other, picture), c.expected);
    EXPECT_LT(c.expected, 0.95);
  }
}

}  // namespace
