#include "numeric/svd.h"

#include <gtest/gtest.h>

#include <cmath>

#include "numeric/matrix_ops.h"
#include "numeric/multiply.h"
#include "numeric_helpers.h"

using KPX::Matrix;
using KPX::Vector;
using numeric_test::fromRows;
using numeric_test::identity;
using numeric_test::maxDifference;
using numeric_test::randomMatrix;

namespace {

void expectDecomposes(const Matrix<double>& a) {
  Matrix<double> u(a);
  Vector<double> w;
  Matrix<double> v;
  KPX::svdDecompose(u, w, v);
  ASSERT_EQ(w.count(), a.cols());
  ASSERT_EQ(v.rows(), a.cols());
  Matrix<double> us(u);
  for (std::uint32_t i = 0; i < a.cols(); ++i) {
    EXPECT_GE(w[i], 0.0);
    for (std::uint32_t r = 0; r < a.rows(); ++r) us[r][i] *= w[i];
  }
  EXPECT_LT(maxDifference(KPX::multiplyABt(us, v), a), 1e-12);
  EXPECT_LT(maxDifference(KPX::multiplyAtB(v, v), identity(a.cols())), 1e-12);
  if (a.rows() >= a.cols()) {
    EXPECT_LT(maxDifference(KPX::multiplyAtB(u, u), identity(a.cols())), 1e-12);
  }
}

TEST(Svd, ReconstructsSquareAndTallMatrices) {
  expectDecomposes(randomMatrix(1, 1, 1));
  expectDecomposes(randomMatrix(6, 6, 2));
  expectDecomposes(randomMatrix(50, 50, 3));
  expectDecomposes(randomMatrix(9, 4, 4));
  expectDecomposes(randomMatrix(3, 5, 5));
}

TEST(Svd, KnownSingularValues) {
  // Columns orthogonal with norms 5 and 2.
  Matrix<double> u = fromRows({{3, 0}, {4, 0}, {0, 2}});
  Vector<double> w;
  Matrix<double> v;
  KPX::svdDecompose(u, w, v);
  const double big = std::max(w[0], w[1]);
  const double small = std::min(w[0], w[1]);
  EXPECT_NEAR(big, 5.0, 1e-14);
  EXPECT_NEAR(small, 2.0, 1e-14);
}

TEST(Svd, RankDeficientMatrix) {
  const Matrix<double> a = fromRows({{1, 2, 3}, {2, 4, 6}, {1, 1, 1}});
  expectDecomposes(a);
  Matrix<double> u(a);
  Vector<double> w;
  Matrix<double> v;
  KPX::svdDecompose(u, w, v);
  int zeros = 0;
  for (std::uint32_t i = 0; i < 3; ++i) zeros += w[i] < 1e-12;
  EXPECT_EQ(zeros, 1);
}

TEST(Svd, NonFiniteInputEnds) {
  // No convergence is possible; the sweeps per value are bounded.
  Matrix<double> u = fromRows({{NAN, 1}, {1, 2}});
  Vector<double> w;
  Matrix<double> v;
  KPX::svdDecompose(u, w, v);
  EXPECT_EQ(w.count(), 2u);
}

}  // namespace
