#include "numeric/eigen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "numeric/multiply.h"
#include "numeric_helpers.h"
#include "support/test_support.h"

using KPX::Matrix;
using KPX::Vector;
using numeric_test::fromRows;
using numeric_test::identity;
using numeric_test::maxDifference;
using numeric_test::randomMatrix;
using testing_support::TraceCapture;

namespace {

Matrix<double> randomSymmetric(std::uint32_t n, std::uint32_t seed) {
  const Matrix<double> r = randomMatrix(n, n, seed);
  Matrix<double> s(n, n);
  for (std::uint32_t i = 0; i < n; ++i) {
    for (std::uint32_t j = 0; j < n; ++j) s[i][j] = r[i][j] + r[j][i];
  }
  return s;
}

void expectEigenPairs(const Matrix<double>& a) {
  Matrix<double> e(a);
  Vector<double> lambda;
  TraceCapture trace;
  ASSERT_EQ(KPX::eigenSymmetric(e, lambda), 0);
  EXPECT_EQ(trace.text(), "");
  const std::uint32_t n = a.rows();
  ASSERT_EQ(lambda.count(), n);
  Matrix<double> el(e);
  for (std::uint32_t i = 0; i < n; ++i) {
    for (std::uint32_t r = 0; r < n; ++r) el[r][i] *= lambda[i];
  }
  EXPECT_LT(maxDifference(KPX::multiply(a, e), el), 1e-12 * n);
  EXPECT_LT(maxDifference(KPX::multiplyAtB(e, e), identity(n)), 1e-12 * n);
}

TEST(EigenSymmetric, RandomSymmetricMatrices) {
  for (std::uint32_t n : {1u, 2u, 3u, 10u, 96u}) expectEigenPairs(randomSymmetric(n, n));
}

TEST(EigenSymmetric, RepeatedEigenvalues) {
  // A covariance of rank one: one eigenvalue 3, two eigenvalues 0.
  expectEigenPairs(fromRows({{1, 1, 1}, {1, 1, 1}, {1, 1, 1}}));
  expectEigenPairs(identity(5));
}

TEST(EigenSymmetric, DiagonalMatrixKeepsItsValues) {
  Matrix<double> a = fromRows({{2, 0, 0}, {0, -1, 0}, {0, 0, 5}});
  Vector<double> lambda;
  ASSERT_EQ(KPX::eigenSymmetric(a, lambda), 0);
  std::vector<double> values(lambda.data(), lambda.data() + 3);
  std::sort(values.begin(), values.end());
  EXPECT_EQ(values, (std::vector<double>{-1, 2, 5}));
}

// Matrices that are tridiagonal already leave the reduction nothing to do:
// each row has a single off-diagonal value, and the reflection built from it
// must not cancel it to zero.
struct KnownSpectrum {
  const char* name;
  std::vector<std::vector<double>> rows;
  std::vector<double> eigenvalues;  // ascending
};

class EigenTridiagonal : public testing::TestWithParam<KnownSpectrum> {};

TEST_P(EigenTridiagonal, GivesTheKnownEigenvalues) {
  const KnownSpectrum& c = GetParam();
  const auto n = static_cast<std::uint32_t>(c.rows.size());
  Matrix<double> a(n, n);
  for (std::uint32_t i = 0; i < n; ++i)
    for (std::uint32_t j = 0; j < n; ++j) a[i][j] = c.rows[i][j];
  expectEigenPairs(a);
  Matrix<double> e(a);
  Vector<double> lambda;
  ASSERT_EQ(KPX::eigenSymmetric(e, lambda), 0);
  std::vector<double> values(lambda.data(), lambda.data() + lambda.count());
  std::sort(values.begin(), values.end());
  ASSERT_EQ(values.size(), c.eigenvalues.size());
  for (std::size_t k = 0; k < values.size(); ++k) EXPECT_NEAR(values[k], c.eigenvalues[k], 1e-12);
}

// The 1-D Laplacian of size n has the eigenvalues 2 - 2 cos(k pi / (n + 1)).
std::vector<double> laplacianSpectrum(int n) {
  std::vector<double> values;
  for (int k = 1; k <= n; ++k) values.push_back(2.0 - 2.0 * std::cos(k * M_PI / (n + 1)));
  return values;
}

INSTANTIATE_TEST_SUITE_P(
    AlreadyTridiagonal, EigenTridiagonal,
    testing::Values(
        KnownSpectrum{"Laplacian3", {{2, -1, 0}, {-1, 2, -1}, {0, -1, 2}}, laplacianSpectrum(3)},
        KnownSpectrum{"Laplacian4",
                      {{2, -1, 0, 0}, {-1, 2, -1, 0}, {0, -1, 2, -1}, {0, 0, -1, 2}},
                      laplacianSpectrum(4)},
        KnownSpectrum{"BlockWithZeroRow",
                      {{1, 0, 0}, {0, 2, 3}, {0, 3, 4}},
                      {3.0 - std::sqrt(10.0), 1.0, 3.0 + std::sqrt(10.0)}},
        // A row whose only other entry is tiny: scaling the row by that entry
        // alone would square 1e200 into infinity.
        KnownSpectrum{"TinyBesideOne",
                      {{2, 0, 1e-200}, {0, 3, 1}, {1e-200, 1, 4}},
                      {2.0, (7.0 - std::sqrt(5.0)) / 2, (7.0 + std::sqrt(5.0)) / 2}}),
    [](const testing::TestParamInfo<KnownSpectrum>& c) { return c.param.name; });

TEST(EigenSymmetric, EmptyMatrix) {
  Matrix<double> a;
  Vector<double> lambda(4);
  EXPECT_EQ(KPX::eigenSymmetric(a, lambda), 0);
  EXPECT_EQ(lambda.count(), 0u);
}

TEST(EigenSymmetric, NonConvergenceIsTracedAndReported) {
  Matrix<double> a = fromRows({{1, NAN}, {NAN, 1}});
  Vector<double> lambda;
  TraceCapture trace;
  EXPECT_EQ(KPX::eigenSymmetric(a, lambda), -1);
  EXPECT_EQ(trace.text(), "Too many iterations in routine tqli.\n");
}

TEST(Pythag, EitherArgumentMayBeTheLarger) {
  EXPECT_DOUBLE_EQ(KPX::pythag(4e200, 3e200), 5e200);
  EXPECT_DOUBLE_EQ(KPX::pythag(-12, 5), 13);
  EXPECT_DOUBLE_EQ(KPX::pythag(5, 12), 13);
}

TEST(Pythag, AvoidsOverflowAndUnderflow) {
  EXPECT_DOUBLE_EQ(KPX::pythag(3e200, 4e200), 5e200);
  EXPECT_DOUBLE_EQ(KPX::pythag(3e-200, -4e-200), 5e-200);
  EXPECT_EQ(KPX::pythag(0, 0), 0);
}

}  // namespace
