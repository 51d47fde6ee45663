#include "numeric/ica_pass_single.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "numeric/cpu_features.h"
#include "numeric/parallel.h"
#include "numeric_helpers.h"

using KPX::Matrix;
using KPX::VectorLevel;
using numeric_test::LevelScope;
using numeric_test::randomMatrix;
using numeric_test::supportedLevels;
using numeric_test::ThreadScope;

namespace {

// Shapes that cut blocks, tiles and tile rows short: rows not a multiple of
// 12 or of the block (480), components not a multiple of the tile width.
struct Shape {
  std::uint32_t rows;
  std::uint32_t k;
};
const Shape kShapes[] = {{1, 1}, {7, 5}, {241, 16}, {500, 13}, {733, 24}, {1000, 40}};

// Z scaled so that the projections reach both formulas of the tangent and
// its saturation.
Matrix<double> whitened(const Shape& s) {
  Matrix<double> z = randomMatrix(s.rows, s.k, 40 + s.k);
  for (std::uint32_t i = 0; i < z.count(); ++i) z.data()[i] *= 3.0;
  return z;
}

struct Sums {
  Matrix<double> u;
  std::vector<double> derivative;
};

Sums run(const Matrix<double>& z, const Matrix<double>& w, VectorLevel level) {
  const LevelScope scope(level);
  Sums s;
  KPX::icaSumsSingle(KPX::toSingle(z), w, s.u, s.derivative);
  return s;
}

bool bitEqual(const Sums& a, const Sums& b) {
  return a.u.rows() == b.u.rows() && a.u.cols() == b.u.cols() &&
         std::memcmp(a.u.data(), b.u.data(), a.u.count() * sizeof(double)) == 0 &&
         a.derivative == b.derivative;
}

// The sums in double precision with the library's tangent, from Z and W as
// given: what the single-precision pass approximates.
Sums plainSums(const Matrix<double>& z, const Matrix<double>& w) {
  const std::uint32_t k = z.cols();
  Sums s{Matrix<double>(k, k), std::vector<double>(k, 0.0)};
  KPX::fill(s.u, 0.0);
  for (std::uint32_t i = 0; i < k; ++i) {
    for (std::uint32_t n = 0; n < z.rows(); ++n) {
      double y = 0.0;
      for (std::uint32_t j = 0; j < k; ++j) y += z[n][j] * w[i][j];
      const double t = std::tanh(y);
      s.derivative[i] += 1.0 / (std::cosh(y) * std::cosh(y));
      for (std::uint32_t j = 0; j < k; ++j) s.u[i][j] += t * z[n][j];
    }
  }
  return s;
}

// Single precision: each term is good to a few parts in 10^7 of its size
// (|z| <= 3, |tanh| <= 1), so the sums are held to 1e-5 of the number of
// terms, far below any change that would move a step.
TEST(IcaSumsSingle, EveryLevelMatchesDoublePrecisionLoops) {
  for (const Shape& s : kShapes) {
    const Matrix<double> z = whitened(s);
    const Matrix<double> w = randomMatrix(s.k, s.k, 90 + s.k);
    const Sums want = plainSums(z, w);
    for (VectorLevel level : supportedLevels()) {
      SCOPED_TRACE(KPX::vectorLevelName(level));
      const Sums got = run(z, w, level);
      ASSERT_EQ(got.u.rows(), s.k);
      ASSERT_EQ(got.u.cols(), s.k);
      ASSERT_EQ(got.derivative.size(), s.k);
      const double bound = 1e-5 * s.rows;
      for (std::uint32_t i = 0; i < s.k; ++i) {
        EXPECT_NEAR(got.derivative[i], want.derivative[i], bound) << s.rows << "x" << s.k;
        for (std::uint32_t j = 0; j < s.k; ++j)
          EXPECT_NEAR(got.u[i][j], want.u[i][j], 3.0 * bound)
              << s.rows << "x" << s.k << " at " << i << "," << j;
      }
    }
  }
}

// The vector levels run the same chains with the same tangent: equal to the
// bit, so that files and signatures do not depend on the processor's width.
TEST(IcaSumsSingle, VectorLevelsAgreeBitForBit) {
  if (!KPX::vectorLevelSupported(VectorLevel::Avx512)) GTEST_SKIP() << "no AVX-512";
  for (const Shape& s : kShapes) {
    const Matrix<double> z = whitened(s);
    const Matrix<double> w = randomMatrix(s.k, s.k, 60 + s.k);
    EXPECT_TRUE(bitEqual(run(z, w, VectorLevel::Avx2), run(z, w, VectorLevel::Avx512)))
        << s.rows << "x" << s.k;
  }
}

// A single-precision chain carried over a whole image would lose digits to
// rounding as it grows (by 200,000 terms of about 1, each addition rounds to
// 1/128); the block sums keep the error near that of a term. All-equal rows
// make every term the same, so the exact sum is known.
TEST(IcaSumsSingle, LongSumsKeepTheirPrecision) {
  constexpr std::uint32_t kRows = 200000;
  constexpr std::uint32_t k = 3;
  Matrix<double> z(kRows, k);
  for (std::uint32_t n = 0; n < kRows; ++n) {
    z[n][0] = 0.1;
    z[n][1] = -0.7;
    z[n][2] = 1.3;
  }
  const Matrix<double> w = numeric_test::identity(k);
  for (VectorLevel level : supportedLevels()) {
    SCOPED_TRACE(KPX::vectorLevelName(level));
    const Sums got = run(z, w, level);
    for (std::uint32_t i = 0; i < k; ++i) {
      const double y = static_cast<float>(z[0][i]);
      const double t = std::tanh(y);
      const double derivative = kRows * (1.0 - t * t);
      EXPECT_NEAR(got.derivative[i], derivative, 1e-4 * derivative);
      for (std::uint32_t j = 0; j < k; ++j) {
        const double u = kRows * t * static_cast<float>(z[0][j]);
        EXPECT_NEAR(got.u[i][j], u, 1e-4 * std::fabs(u)) << i << "," << j;
      }
    }
  }
}

TEST(IcaSumsSingle, TileEqualsFusedChainsAtEveryFusedLevel) {
  constexpr std::uint32_t kc = 37;
  constexpr std::uint32_t kRows = 12;  // the most a tile call takes
  constexpr std::uint32_t kWidth = KPX::kIcaSingleTileComponents;
  const Matrix<float> a = KPX::toSingle(randomMatrix(kRows, kc, 3));
  const Matrix<float> b = KPX::toSingle(randomMatrix(kc, kWidth, 4));
  const Matrix<float> start = KPX::toSingle(randomMatrix(kRows, kWidth, 5));
  for (VectorLevel level : {VectorLevel::Avx2, VectorLevel::Avx512}) {
    const LevelScope fused(level);
    if (!fused.selected()) continue;
    SCOPED_TRACE(KPX::vectorLevelName(level));
    for (std::uint32_t m = 1; m <= kRows; ++m) {
      for (bool accumulate : {false, true}) {
        Matrix<float> c(start);
        KPX::icaTileSingle(m, kc, a.data(), kc, 1, b.data(), c.data(), accumulate);
        for (std::uint32_t r = 0; r < m; ++r) {
          for (std::uint32_t q = 0; q < kWidth; ++q) {
            float expected = accumulate ? start[r][q] : 0.0f;
            for (std::uint32_t p = 0; p < kc; ++p) expected = std::fma(a[r][p], b[p][q], expected);
            EXPECT_EQ(c[r][q], expected) << "m " << m << " row " << r << " col " << q;
          }
        }
        for (std::uint32_t r = m; r < kRows; ++r) {
          for (std::uint32_t q = 0; q < kWidth; ++q)
            EXPECT_EQ(c[r][q], start[r][q]) << "row " << r << " is past m " << m;
        }
      }
    }
  }
}

TEST(IcaSumsSingleThreads, SameBitsForEveryThreadCount) {
  for (const Shape& s : kShapes) {
    const Matrix<double> z = whitened(s);
    const Matrix<double> w = randomMatrix(s.k, s.k, 70 + s.k);
    for (VectorLevel level : supportedLevels()) {
      Sums one;
      {
        ThreadScope scope(1);
        one = run(z, w, level);
      }
      for (std::uint32_t threads : {2u, 3u, 5u}) {
        ThreadScope scope(threads);
        EXPECT_TRUE(bitEqual(one, run(z, w, level)))
            << s.rows << "x" << s.k << " on " << threads << " threads";
      }
    }
  }
}

}  // namespace
