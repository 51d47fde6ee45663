// The colour features and similarities on patch-average images built in
// memory.
#include <gtest/gtest.h>

#include <functional>

#include "retrieval/color_similarity.h"

namespace {

using Pixel = std::function<void(std::uint32_t x, std::uint32_t y, double rgb[3])>;

// A 3 x (columns * rows) averages matrix, patch (x, y) at column y * columns + x.
KPX::Matrix<double> averageImage(std::uint32_t columns, std::uint32_t rows, const Pixel& pixel) {
  KPX::Matrix<double> a(3, columns * rows);
  for (std::uint32_t y = 0; y < rows; ++y)
    for (std::uint32_t x = 0; x < columns; ++x) {
      double rgb[3] = {0, 0, 0};
      pixel(x, y, rgb);
      for (int c = 0; c < 3; ++c) a[c][y * columns + x] = rgb[c];
    }
  return a;
}

KPX::Matrix<double> uniform(std::uint32_t columns, std::uint32_t rows, double r, double g,
                            double b) {
  return averageImage(columns, rows, [&](std::uint32_t, std::uint32_t, double rgb[3]) {
    rgb[0] = r;
    rgb[1] = g;
    rgb[2] = b;
  });
}

double sum(const KPX::Vector<double>& v) {
  double s = 0;
  for (std::uint32_t k = 0; k < v.count(); ++k) s += v[k];
  return s;
}

KPX::Vector<double> vectorOf(std::initializer_list<double> values) {
  KPX::Vector<double> v(static_cast<std::uint32_t>(values.size()));
  std::uint32_t k = 0;
  for (double x : values) v[k++] = x;
  return v;
}

void expectHsv(std::int32_t c0, std::int32_t c1, std::int32_t c2, std::int64_t h, std::int64_t s,
               std::int64_t v) {
  const Hsv255 hsv = ColorSimilarity::RgbToHsv255(c0, c1, c2);
  EXPECT_EQ(hsv.h, h) << c0 << "," << c1 << "," << c2;
  EXPECT_EQ(hsv.s, s) << c0 << "," << c1 << "," << c2;
  EXPECT_EQ(hsv.v, v) << c0 << "," << c1 << "," << c2;
}

}  // namespace

TEST(RgbToHsv255, PrimariesAndRounding) {
  expectHsv(0, 0, 0, 0, 0, 0);
  expectHsv(255, 0, 0, 0, 255, 255);
  expectHsv(0, 255, 0, 85, 255, 255);
  expectHsv(0, 0, 255, 170, 255, 255);
  // Magenta: t = -1, H = trunc(-42.5) + 255 = 213 (255 is added, not 256).
  expectHsv(255, 0, 255, 213, 255, 255);
  // Saturation in integer division: 1 * 255 / 201 = 1.
  expectHsv(201, 200, 200, 0, 1, 201);
  expectHsv(200, 199, 100, 42, 127, 200);
  // A saturation of 0 drops the hue (t = -1 would give 213).
  expectHsv(300, 299, 300, 0, 0, 300);
  expectHsv(250, 249, 249, 0, 1, 250);
  expectHsv(255, 254, 254, 0, 1, 255);
  expectHsv(254, 255, 255, 127, 1, 255);
  expectHsv(200, 200, 0, 42, 255, 200);
}

TEST(RgbToHsv255, TiesPreferTheLowerChannelAsMaximum) {
  // Channels 0 and 1 equal: channel 0 is the maximum (t = 1, H 42).
  expectHsv(100, 100, 50, 42, 127, 100);
  // Channels 1 and 2 equal: channel 1 (t = 3, H = trunc(127.5)).
  expectHsv(50, 100, 100, 127, 127, 100);
}

TEST(ColorHistogram, BinsOfWidth255OverEAndRawCounts) {
  KPX::Vector<double> H;
  // 255 / 63.75 = 4 falls into bin 3; 128 / 63.75 = 2.007 into 2.
  ASSERT_EQ(ColorSimilarity::ColorHistogram(H, uniform(3, 2, 255, 0, 128), 3, 2, 4), 0);
  ASSERT_EQ(H.count(), 64u);
  EXPECT_EQ(H[4 * (4 * 3 + 0) + 2], 6.0);
  EXPECT_EQ(sum(H), 6.0);
  // Exactly one bin width is level 1; just below it level 0.
  ASSERT_EQ(ColorSimilarity::ColorHistogram(H, uniform(1, 1, 63.75, 63.7, 0), 1, 1, 4), 0);
  EXPECT_EQ(H[4 * (4 * 1 + 0) + 0], 1.0);
}

TEST(ColorHistogram, NegativeLevelsAreNotClampedBeforeTheIndex) {
  KPX::Vector<double> H;
  // q0 = -1: a negative index, which lands in the last bin.
  ASSERT_EQ(ColorSimilarity::ColorHistogram(H, uniform(1, 1, -64, 0, 0), 1, 1, 4), 0);
  EXPECT_EQ(H[63], 1.0);
  // q0 = 1, q1 = -1: index 4 * (4 - 1) + 0 = 12, a valid bin.
  ASSERT_EQ(ColorSimilarity::ColorHistogram(H, uniform(1, 1, 64, -64, 0), 1, 1, 4), 0);
  EXPECT_EQ(H[12], 1.0);
  // Small negatives truncate to level 0.
  ASSERT_EQ(ColorSimilarity::ColorHistogram(H, uniform(1, 1, -1, -1, -1), 1, 1, 4), 0);
  EXPECT_EQ(H[0], 1.0);
}

TEST(BlockMeans, EvenGridDividesByTheCellSize) {
  KPX::Matrix<double> M;
  const KPX::Matrix<double> a =
      averageImage(8, 8, [](std::uint32_t x, std::uint32_t y, double rgb[3]) {
        rgb[0] = x;
        rgb[1] = y;
        rgb[2] = 1;
      });
  ASSERT_EQ(ColorSimilarity::BlockMeans(M, a, 8, 8, 4), 0);
  ASSERT_EQ(M.rows(), 16u);
  ASSERT_EQ(M.cols(), 3u);
  for (std::uint32_t by = 0; by < 4; ++by)
    for (std::uint32_t bx = 0; bx < 4; ++bx) {
      EXPECT_DOUBLE_EQ(M[by * 4 + bx][0], 2.0 * bx + 0.5);
      EXPECT_DOUBLE_EQ(M[by * 4 + bx][1], 2.0 * by + 0.5);
      EXPECT_DOUBLE_EQ(M[by * 4 + bx][2], 1.0);
    }
}

TEST(BlockMeans, LastCellsTakeTheRemainderAndKeepTheNominalDivisor) {
  // 10 columns, e = 4: cells of 3 columns, the last one holds column 9 only.
  // 4 rows: cells of one row each.
  KPX::Matrix<double> M;
  const KPX::Matrix<double> a =
      averageImage(10, 4, [](std::uint32_t x, std::uint32_t, double rgb[3]) {
        rgb[0] = x;
        rgb[1] = 1;
        rgb[2] = 0;
      });
  ASSERT_EQ(ColorSimilarity::BlockMeans(M, a, 10, 4, 4), 0);
  EXPECT_DOUBLE_EQ(M[0][0], (0 + 1 + 2) / 3.0);
  EXPECT_DOUBLE_EQ(M[2][0], (6 + 7 + 8) / 3.0);
  EXPECT_DOUBLE_EQ(M[3][0], 9 / 3.0);
  EXPECT_DOUBLE_EQ(M[3][1], 1 / 3.0);
  // 6 columns: cells of 2, the fourth cell is left empty.
  ASSERT_EQ(ColorSimilarity::BlockMeans(M, uniform(6, 4, 1, 1, 1), 6, 4, 4), 0);
  EXPECT_DOUBLE_EQ(M[2][0], 1.0);
  EXPECT_EQ(M[3][0], 0.0);
}

TEST(BlockMeans, SmallGridsAreCutProportionally) {
  // 5 columns with e = 4 would need a fourth cell starting past the last
  // patch; the columns go to cells 0, 0, 1, 2, 3 instead. Rows: 5 as well.
  KPX::Matrix<double> M;
  const KPX::Matrix<double> a =
      averageImage(5, 5, [](std::uint32_t x, std::uint32_t y, double rgb[3]) {
        rgb[0] = 1 + x + 10 * y;
        rgb[1] = 0;
        rgb[2] = 0;
      });
  ASSERT_EQ(ColorSimilarity::BlockMeans(M, a, 5, 5, 4), 0);
  // Cell sizes are nominally ceil(5 / 4) = 2 each way.
  EXPECT_DOUBLE_EQ(M[0][0], (1 + 2 + 11 + 12) / 4.0);
  EXPECT_DOUBLE_EQ(M[1][0], (3 + 13) / 4.0);
  EXPECT_DOUBLE_EQ(M[3 * 4 + 3][0], 45 / 4.0);
  double total = 0;
  for (std::uint32_t k = 0; k < 16; ++k) total += M[k][0] * 4;
  EXPECT_DOUBLE_EQ(total, 25 * 1 + (0 + 1 + 2 + 3 + 4) * 5 + (0 + 10 + 20 + 30 + 40) * 5);
  // Fewer columns than cells: the patches spread out, nothing is read twice.
  ASSERT_EQ(ColorSimilarity::BlockMeans(M, uniform(2, 1, 3, 3, 3), 2, 1, 4), 0);
  EXPECT_DOUBLE_EQ(M[0][0], 3.0);
  EXPECT_DOUBLE_EQ(M[2][0], 3.0);
  EXPECT_EQ(M[1][0], 0.0);
  EXPECT_EQ(M[3][0], 0.0);
}

TEST(BlockMeans, RejectsAveragesSmallerThanTheGrid) {
  KPX::Matrix<double> M;
  EXPECT_EQ(ColorSimilarity::BlockMeans(M, uniform(4, 4, 1, 1, 1), 5, 4, 4), 22);
  EXPECT_EQ(ColorSimilarity::BlockMeans(M, uniform(4, 4, 1, 1, 1), 4, 4, 0), 22);
  KPX::Vector<double> H;
  EXPECT_EQ(ColorSimilarity::ColorHistogram(H, uniform(4, 4, 1, 1, 1), 4, 5, 4), 22);
  EXPECT_EQ(ColorSimilarity::ColorStructureHistogram(H, uniform(4, 4, 1, 1, 1), 9, 9, 4), 22);
}

TEST(ColorStructure, ASideOfEightPatchesOrFewerIsOneWindowLong) {
  // 8 x 20 patches: one window column 8 wide, windows at y0 = 0, 4, 8; a
  // window of the full grid for 3 x 2. Each sees its one colour.
  KPX::Vector<double> H;
  KPX::Vector<double> full;
  ASSERT_EQ(ColorSimilarity::ColorStructureHistogram(full, uniform(9, 9, 255, 0, 0), 9, 9, 4), 0);
  for (const auto& [columns, rows] : {std::pair{8u, 20u}, {20u, 8u}, {3u, 2u}, {1u, 1u}}) {
    ASSERT_EQ(ColorSimilarity::ColorStructureHistogram(H, uniform(columns, rows, 255, 0, 0),
                                                       columns, rows, 4),
              0);
    ASSERT_EQ(H.count(), 128u);
    EXPECT_DOUBLE_EQ(sum(H), 1.0) << columns << " x " << rows;
    EXPECT_DOUBLE_EQ(ColorSimilarity::HistogramIntersection(H, H), 1.0);
    // The same colour as a larger picture's.
    EXPECT_DOUBLE_EQ(ColorSimilarity::HistogramIntersection(H, full), 1.0);
  }
  // Two colours side by side in a 4 x 2 grid: one window holds both.
  KPX::Matrix<double> a = uniform(4, 2, 255, 0, 0);
  for (std::uint32_t y = 0; y < 2; ++y) {
    a[0][y * 4 + 3] = 0;
    a[2][y * 4 + 3] = 255;
  }
  ASSERT_EQ(ColorSimilarity::ColorStructureHistogram(H, a, 4, 2, 4), 0);
  EXPECT_DOUBLE_EQ(sum(H), 1.0);
  EXPECT_DOUBLE_EQ(ColorSimilarity::HistogramIntersection(H, full), 0.5);
}

TEST(ColorStructure, WindowsNeverTouchTheLastRowOrColumn) {
  // 16 x 9 patches: windows at x0 = 0 and 4 (8 is not < 16 - 8), y0 = 0.
  // Red in column 11 is seen by the second window; blue in columns 12..15
  // and green in the last row by none.
  const KPX::Matrix<double> a =
      averageImage(16, 9, [](std::uint32_t x, std::uint32_t y, double rgb[3]) {
        if (y == 8) {
          rgb[1] = 255;
        } else if (x == 11) {
          rgb[0] = 255;
        } else if (x >= 12) {
          rgb[2] = 255;
        }
      });
  KPX::Vector<double> H;
  ASSERT_EQ(ColorSimilarity::ColorStructureHistogram(H, a, 16, 9, 4), 0);
  const std::uint32_t black = 0;                   // hue 0, S 0, V 0
  const std::uint32_t red = (0 * 4 + 3) * 4 + 3;   // S, V 255 -> level 3
  const std::uint32_t blue = (5 * 4 + 3) * 4 + 3;  // H 170 -> 170 / 32 = 5
  const std::uint32_t green = (2 * 4 + 3) * 4 + 3;
  EXPECT_DOUBLE_EQ(H[black], 2.0 / 3.0);
  EXPECT_DOUBLE_EQ(H[red], 1.0 / 3.0);
  EXPECT_EQ(H[blue], 0.0);
  EXPECT_EQ(H[green], 0.0);
  EXPECT_DOUBLE_EQ(sum(H), 1.0);
}

TEST(ColorStructure, WindowsNeverTouchTheLastRowsEither) {
  // The same picture transposed, 9 x 16 patches: windows at y0 = 0 and 4
  // (8 is not < 16 - 8), x0 = 0. Red in row 11 is seen by the second
  // window; blue in rows 12..15 and green in the last column by none.
  const KPX::Matrix<double> a =
      averageImage(9, 16, [](std::uint32_t x, std::uint32_t y, double rgb[3]) {
        if (x == 8) {
          rgb[1] = 255;
        } else if (y == 11) {
          rgb[0] = 255;
        } else if (y >= 12) {
          rgb[2] = 255;
        }
      });
  KPX::Vector<double> H;
  ASSERT_EQ(ColorSimilarity::ColorStructureHistogram(H, a, 9, 16, 4), 0);
  const std::uint32_t black = 0;
  const std::uint32_t red = (0 * 4 + 3) * 4 + 3;
  const std::uint32_t blue = (5 * 4 + 3) * 4 + 3;
  const std::uint32_t green = (2 * 4 + 3) * 4 + 3;
  EXPECT_DOUBLE_EQ(H[black], 2.0 / 3.0);
  EXPECT_DOUBLE_EQ(H[red], 1.0 / 3.0);
  EXPECT_EQ(H[blue], 0.0);
  EXPECT_EQ(H[green], 0.0);
  EXPECT_DOUBLE_EQ(sum(H), 1.0);
}

TEST(ColorStructure, HueTakesEightLevels) {
  // 9 x 9 patches of one colour: a single window, so the colour's bin holds
  // everything. Full saturation and value put it in level 3 of both.
  struct Case {
    double r, g, b;
    std::uint32_t hue;  // 0..254
  };
  for (const Case& c : {Case{255, 255, 0, 42}, Case{0, 255, 0, 85}, Case{0, 0, 255, 170},
                        Case{255, 0, 255, 212}, Case{255, 0, 40, 249}}) {
    KPX::Vector<double> H;
    ASSERT_EQ(ColorSimilarity::ColorStructureHistogram(H, uniform(9, 9, c.r, c.g, c.b), 9, 9, 4),
              0);
    const std::uint32_t bin = ((c.hue / 32) * 4 + 3) * 4 + 3;
    EXPECT_DOUBLE_EQ(H[bin], 1.0) << "hue " << c.hue;
  }
}

TEST(ColorStructure, EachWindowCountsAColourOnce) {
  // 13 x 13: windows at 0 and 4 both ways; the whole image is two colours.
  const KPX::Matrix<double> a = averageImage(
      13, 13,
      [](std::uint32_t x, std::uint32_t y, double rgb[3]) { rgb[0] = (x + y) % 2 == 0 ? 255 : 0; });
  KPX::Vector<double> H;
  ASSERT_EQ(ColorSimilarity::ColorStructureHistogram(H, a, 13, 13, 4), 0);
  EXPECT_DOUBLE_EQ(H[0], 0.5);
  EXPECT_DOUBLE_EQ(H[15], 0.5);
}

TEST(ColorSimilarityMeasures, BlockMeanCosinePerCell) {
  KPX::Matrix<double> Q(4, 3), T(4, 3);
  KPX::fill(Q, 0.0);
  KPX::fill(T, 0.0);
  // Cell 0: zero on both sides counts 1. Cell 1: zero on one side, 0.
  T[1][0] = 5;
  // Cell 2: same direction, another length: 1. Cell 3: opposite: -1.
  Q[2][0] = 1;
  Q[2][1] = 2;
  T[2][0] = 3;
  T[2][1] = 6;
  Q[3][2] = 2;
  T[3][2] = -1;
  EXPECT_DOUBLE_EQ(ColorSimilarity::BlockMeanSimilarity(Q, T), (1 + 0 + 1 - 1) / 4.0);
  // A query without cells resembles nothing.
  EXPECT_EQ(ColorSimilarity::BlockMeanSimilarity(KPX::Matrix<double>(), T), 0.0);
}

TEST(ColorSimilarityMeasures, HistogramDistance) {
  const KPX::Vector<double> a = vectorOf({2, 2, 0, 0});
  const KPX::Vector<double> b = vectorOf({4, 4, 0, 0});
  const KPX::Vector<double> c = vectorOf({0, 0, 1, 3});
  const KPX::Vector<double> d = vectorOf({1, 3, 0, 0});
  EXPECT_DOUBLE_EQ(ColorSimilarity::HistogramSimilarity(a, b), 1.0);
  EXPECT_DOUBLE_EQ(ColorSimilarity::HistogramSimilarity(a, c), 0.0);
  EXPECT_DOUBLE_EQ(ColorSimilarity::HistogramSimilarity(a, d), 1.0 - 0.5 * (0.25 + 0.25));
  // Without patches: identical to another empty histogram, unlike any other.
  const KPX::Vector<double> empty = vectorOf({0, 0, 0, 0});
  EXPECT_EQ(ColorSimilarity::HistogramSimilarity(empty, empty), 1.0);
  EXPECT_EQ(ColorSimilarity::HistogramSimilarity(empty, a), 0.0);
  EXPECT_EQ(ColorSimilarity::HistogramSimilarity(a, empty), 0.0);
  EXPECT_EQ(ColorSimilarity::HistogramSimilarity(KPX::Vector<double>(), a), 0.0);
}

TEST(ColorSimilarityMeasures, IntersectionSumsTheMinima) {
  EXPECT_DOUBLE_EQ(ColorSimilarity::HistogramIntersection(vectorOf({0.5, 0.25, 0.25}),
                                                          vectorOf({0.25, 0.75, 0})),
                   0.5);
  // Missing target bins count as 0.
  EXPECT_DOUBLE_EQ(ColorSimilarity::HistogramIntersection(vectorOf({0.5, 0.5}), vectorOf({0.5})),
                   0.5);
}
