#include "numeric/inverse.h"

#include <gtest/gtest.h>

#include <cmath>

#include "numeric/multiply.h"
#include "numeric_helpers.h"

using KPX::Matrix;
using numeric_test::fromRows;
using numeric_test::identity;
using numeric_test::maxDifference;
using numeric_test::randomMatrix;

namespace {

// Diagonally dominant, so that elimination without pivoting is well behaved.
Matrix<double> wellConditioned(std::uint32_t n, std::uint32_t seed) {
  Matrix<double> m = randomMatrix(n, n, seed);
  for (std::uint32_t i = 0; i < n; ++i) m[i][i] += n;
  return m;
}

TEST(GaussJordan, InvertsTheWorkedExample) {
  Matrix<double> a = fromRows({{2, 1}, {1, 1}});
  EXPECT_EQ(KPX::invertInPlace(a), 1.0);
  EXPECT_EQ(a[0][0], 1);
  EXPECT_EQ(a[0][1], -1);
  EXPECT_EQ(a[1][0], -1);
  EXPECT_EQ(a[1][1], 2);
}

TEST(GaussJordan, ReturnsTheDeterminant) {
  Matrix<double> a = fromRows({{4, 0, 0}, {0, 2, 0}, {1, 0, 0.5}});
  EXPECT_DOUBLE_EQ(KPX::invertInPlace(a), 4.0);
  EXPECT_DOUBLE_EQ(a[2][0], -0.5);
  EXPECT_DOUBLE_EQ(a[2][2], 2.0);
}

TEST(GaussJordan, ZeroFirstPivotStopsBeforeAnyChange) {
  Matrix<double> a = fromRows({{0, 1}, {1, 0}});
  EXPECT_EQ(KPX::invertInPlace(a), 0.0);
  EXPECT_EQ(a[0][0], 0);
  EXPECT_EQ(a[0][1], 1);
  EXPECT_EQ(a[1][0], 1);
  EXPECT_EQ(a[1][1], 0);
}

TEST(GaussJordan, ZeroLaterPivotReturnsZero) {
  Matrix<double> a = fromRows({{1, 2}, {2, 4}});
  EXPECT_EQ(KPX::invertInPlace(a), 0.0);
}

TEST(GaussJordan, UnderflowingDeterminantDoesNotStopTheInversion) {
  // The product of the pivots underflows to 0 although no pivot is 0.
  Matrix<double> a = fromRows({{1e-200, 0}, {0, 1e-200}});
  EXPECT_EQ(KPX::invertInPlace(a), 0.0);
  EXPECT_DOUBLE_EQ(a[0][0], 1e200);
  EXPECT_DOUBLE_EQ(a[1][1], 1e200);
  EXPECT_EQ(a[0][1], 0);
}

TEST(GaussJordan, ZeroPivotAfterOverflowStillStops) {
  // inf * 0 is not 0: the pivot itself must be tested.
  Matrix<double> a = fromRows({{1e200, 0, 0}, {0, 1e200, 0}, {0, 0, 0}});
  EXPECT_EQ(KPX::invertInPlace(a), 0.0);
  EXPECT_FALSE(std::isnan(a[2][2]));
  EXPECT_FALSE(std::isinf(a[2][2]));
}

TEST(GaussJordan, RandomMatricesTimesInverseGiveTheIdentity) {
  for (std::uint32_t n : {1u, 3u, 17u, 64u}) {
    const Matrix<double> a = wellConditioned(n, n);
    Matrix<double> inv(a);
    KPX::invertInPlace(inv);
    EXPECT_LT(maxDifference(KPX::multiply(a, inv), identity(n)), 1e-12) << n;
  }
}

TEST(PseudoInverse, WideRow) {
  Matrix<double> a = fromRows({{3, 4}});
  KPX::pseudoInverseInPlace(a);
  ASSERT_EQ(a.rows(), 2u);
  ASSERT_EQ(a.cols(), 1u);
  EXPECT_DOUBLE_EQ(a[0][0], 0.12);
  EXPECT_DOUBLE_EQ(a[1][0], 0.16);
}

TEST(PseudoInverse, TallMatrixIsALeftInverse) {
  const Matrix<double> a = randomMatrix(7, 3, 5);
  const Matrix<double> pinv = KPX::inverse(a);
  ASSERT_EQ(pinv.rows(), 3u);
  ASSERT_EQ(pinv.cols(), 7u);
  EXPECT_LT(maxDifference(KPX::multiply(pinv, a), identity(3)), 1e-12);
  // The argument of inverse is left alone.
  EXPECT_EQ(a.rows(), 7u);
}

TEST(PseudoInverse, WideMatrixIsARightInverse) {
  Matrix<double> a = randomMatrix(3, 8, 6);
  const Matrix<double> original(a);
  KPX::pseudoInverseInPlace(a);
  ASSERT_EQ(a.rows(), 8u);
  ASSERT_EQ(a.cols(), 3u);
  EXPECT_LT(maxDifference(KPX::multiply(original, a), identity(3)), 1e-12);
}

TEST(PseudoInverse, KeepsTheTargetsRowViewSetting) {
  Matrix<double> a(1, 2, false);
  a[0][0] = 3;
  a[0][1] = 4;
  KPX::pseudoInverseInPlace(a);
  EXPECT_FALSE(a.hasRowViews());
}

TEST(InverseBySvd, DropsTinySingularValues) {
  const Matrix<double> a = fromRows({{2, 0}, {0, 1e-12}});
  const Matrix<double> inv = KPX::inverseBySvd(a);
  ASSERT_EQ(inv.rows(), 2u);
  ASSERT_EQ(inv.cols(), 2u);
  EXPECT_DOUBLE_EQ(inv[0][0], 0.5);
  EXPECT_EQ(inv[1][1], 0.0);
  EXPECT_EQ(inv[0][1], 0.0);
  EXPECT_EQ(inv[1][0], 0.0);
}

TEST(InverseBySvd, AgreesWithGaussJordanOnWellConditionedMatrices) {
  for (std::uint32_t n : {1u, 2u, 5u, 16u, 40u, 96u}) {
    const Matrix<double> a = wellConditioned(n, 100 + n);
    EXPECT_LT(maxDifference(KPX::inverseBySvd(a), KPX::inverse(a)), 1e-12) << n;
  }
}

TEST(InverseBySvd, SingularMatrixGivesThePseudoInverse) {
  // Rank one: the inverse through the decomposition still satisfies
  // A A+ A = A, where elimination stops on the zero pivot.
  const Matrix<double> a = fromRows({{1, 2}, {2, 4}});
  const Matrix<double> p = KPX::inverseBySvd(a);
  EXPECT_LT(maxDifference(KPX::multiply(KPX::multiply(a, p), a), a), 1e-12);
  EXPECT_NEAR(p[0][0], 0.04, 1e-14);
  EXPECT_NEAR(p[1][1], 0.16, 1e-14);
}

}  // namespace
