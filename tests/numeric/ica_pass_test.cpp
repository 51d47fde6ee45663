#include "numeric/ica_pass.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "numeric/multiply.h"
#include "numeric/parallel.h"
#include "numeric/vector_tanh.h"
#include "numeric_helpers.h"

using KPX::Matrix;
using KPX::VectorLevel;
using numeric_test::LevelScope;
using numeric_test::randomMatrix;
using numeric_test::supportedLevels;
using numeric_test::ThreadScope;

namespace {

// Shapes that cut blocks, tiles and tile rows short: rows not a multiple of
// 12 or of the block, components not a multiple of the tile width.
struct Shape {
  std::uint32_t rows;
  std::uint32_t k;
};
const Shape kShapes[] = {{1, 1}, {7, 5}, {241, 8}, {500, 13}, {733, 24}};

// Z scaled so that the projections reach both formulas of the tangent.
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
  KPX::icaSums(z, w, s.u, s.derivative);
  return s;
}

bool bitEqual(const Sums& a, const Sums& b) {
  return a.u.rows() == b.u.rows() && a.u.cols() == b.u.cols() &&
         std::memcmp(a.u.data(), b.u.data(), a.u.count() * sizeof(double)) == 0 &&
         a.derivative == b.derivative;
}

TEST(IcaSums, MatchPlainLoopsWithTheLibraryTangent) {
  for (const Shape& s : kShapes) {
    const Matrix<double> z = whitened(s);
    const Matrix<double> w = randomMatrix(s.k, s.k, 90 + s.k);
    for (VectorLevel level : supportedLevels()) {
      const Sums got = run(z, w, level);
      ASSERT_EQ(got.u.rows(), s.k);
      ASSERT_EQ(got.u.cols(), s.k);
      ASSERT_EQ(got.derivative.size(), s.k);
      for (std::uint32_t i = 0; i < s.k; ++i) {
        double derivative = 0.0;
        std::vector<double> u(s.k, 0.0);
        for (std::uint32_t n = 0; n < s.rows; ++n) {
          double y = 0.0;
          for (std::uint32_t j = 0; j < s.k; ++j) y += z[n][j] * w[i][j];
          const double t = std::tanh(y);
          derivative += 1.0 / (std::cosh(y) * std::cosh(y));
          for (std::uint32_t j = 0; j < s.k; ++j) u[j] += t * z[n][j];
        }
        const double scale = s.rows * 3.0;
        EXPECT_NEAR(got.derivative[i], derivative, 1e-12 * s.rows) << s.rows << "x" << s.k;
        for (std::uint32_t j = 0; j < s.k; ++j)
          EXPECT_NEAR(got.u[i][j], u[j], 1e-12 * scale) << s.rows << "x" << s.k;
      }
    }
  }
}

// The fused pass against the two library products with the vector tangents
// in between, as the step computed them before it was fused.
TEST(IcaSums, EqualTheLibraryProductsBitForBit) {
  for (const Shape& s : kShapes) {
    const Matrix<double> z = whitened(s);
    const Matrix<double> w = randomMatrix(s.k, s.k, 60 + s.k);
    std::vector<double> t(static_cast<std::size_t>(s.rows) * s.k);
    KPX::multiplyRowsInto(z.data(), s.k, s.rows, w, true, t.data());
    std::vector<double> derivative(s.k, 0.0);
    KPX::tanhInPlace(t.data(), t.size());
    for (std::uint32_t n = 0; n < s.rows; ++n) {
      for (std::uint32_t i = 0; i < s.k; ++i) {
        const double v = t[static_cast<std::size_t>(n) * s.k + i];
        derivative[i] += (1.0 - v) * (1.0 + v);
      }
    }
    Matrix<double> u(s.k, s.k);
    KPX::accumulateAtB(t.data(), s.k, s.rows, z.data(), s.k, u, false);
    Sums expected{u, derivative};
    EXPECT_TRUE(bitEqual(expected, run(z, w, KPX::vectorLevel()))) << s.rows << "x" << s.k;
  }
}

TEST(IcaSums, TileEqualsFusedChainsAtEveryFusedLevel) {
  constexpr std::uint32_t kc = 37;
  constexpr std::uint32_t kRows = 12;  // the most a tile call takes
  const Matrix<double> a = randomMatrix(kRows, kc, 3);
  const Matrix<double> b = randomMatrix(kc, KPX::kIcaTileComponents, 4);
  const Matrix<double> start = randomMatrix(kRows, KPX::kIcaTileComponents, 5);
  for (VectorLevel level : {VectorLevel::Avx2, VectorLevel::Avx512}) {
    const LevelScope fused(level);
    if (!fused.selected()) continue;
    SCOPED_TRACE(KPX::vectorLevelName(level));
    for (std::uint32_t m = 1; m <= kRows; ++m) {
      for (bool accumulate : {false, true}) {
        Matrix<double> c(start);
        KPX::icaTile(m, kc, a.data(), kc, 1, b.data(), c.data(), accumulate);
        for (std::uint32_t r = 0; r < m; ++r) {
          for (std::uint32_t q = 0; q < KPX::kIcaTileComponents; ++q) {
            double expected = accumulate ? start[r][q] : 0.0;
            for (std::uint32_t p = 0; p < kc; ++p) expected = std::fma(a[r][p], b[p][q], expected);
            EXPECT_EQ(c[r][q], expected) << "m " << m << " row " << r << " col " << q;
          }
        }
        for (std::uint32_t r = m; r < kRows; ++r) {
          for (std::uint32_t q = 0; q < KPX::kIcaTileComponents; ++q)
            EXPECT_EQ(c[r][q], start[r][q]) << "row " << r << " is past m " << m;
        }
      }
    }
  }
}

TEST(IcaSumsThreads, SameBitsForEveryThreadCount) {
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
