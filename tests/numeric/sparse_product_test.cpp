#include "numeric/sparse_product.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "numeric/cpu_features.h"
#include "numeric/multiply.h"
#include "numeric_helpers.h"

using KPX::Matrix;
using KPX::VectorLevel;
using numeric_test::randomMatrix;

namespace {

// Integers, mostly 0, like decoded coefficients.
Matrix<double> sparseIntegers(std::uint32_t rows, std::uint32_t cols, double zeroShare,
                              std::uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> share(0.0, 1.0);
  std::uniform_int_distribution<int> value(-300, 300);
  Matrix<double> m(rows, cols);
  for (std::uint32_t k = 0; k < m.count(); ++k) {
    m.data()[k] = share(random) < zeroShare ? 0.0 : value(random);
  }
  return m;
}

struct Case {
  std::uint32_t rows, inner, cols;
  double zeroShare;
};

class SparseProduct : public ::testing::TestWithParam<Case> {};

TEST_P(SparseProduct, BitForBitTheDenseStripWithEveryKernel) {
  const Case c = GetParam();
  const VectorLevel saved = KPX::vectorLevel();
  const Matrix<double> a = sparseIntegers(c.rows, c.inner, c.zeroShare, c.rows + c.inner);
  const Matrix<double> b = randomMatrix(c.inner, c.cols, c.cols);
  for (VectorLevel kernel : {VectorLevel::Portable, VectorLevel::Avx2, VectorLevel::Avx512}) {
    if (!KPX::setVectorLevel(kernel)) continue;
    std::vector<double> dense(static_cast<std::size_t>(c.rows) * c.cols + 1, -1.0);
    std::vector<double> sparse(dense.size(), -2.0);
    KPX::multiplyStrip(a.data(), a.cols(), c.rows, b, dense.data());
    KPX::multiplySparseStrip(a.data(), a.cols(), c.rows, b, sparse.data());
    for (std::size_t k = 0; k + 1 < dense.size(); ++k) {
      ASSERT_EQ(dense[k], sparse[k]) << KPX::vectorLevelName(kernel) << " element " << k;
    }
    EXPECT_EQ(sparse.back(), -2.0);  // nothing written past the strip
  }
  KPX::setVectorLevel(saved);
}

TEST_P(SparseProduct, IntegerCoefficientsGiveTheSameStrip) {
  const Case c = GetParam();
  const VectorLevel saved = KPX::vectorLevel();
  const Matrix<double> a = sparseIntegers(c.rows, c.inner, c.zeroShare, c.rows * c.inner);
  Matrix<std::int32_t> integers(c.rows, c.inner);
  for (std::uint32_t k = 0; k < a.count(); ++k)
    integers.data()[k] = static_cast<std::int32_t>(a.data()[k]);
  const Matrix<double> b = randomMatrix(c.inner, c.cols, c.cols + 1);
  for (VectorLevel kernel : {VectorLevel::Portable, VectorLevel::Avx2, VectorLevel::Avx512}) {
    if (!KPX::setVectorLevel(kernel)) continue;
    std::vector<double> fromDoubles(static_cast<std::size_t>(c.rows) * c.cols + 1, -1.0);
    std::vector<double> fromIntegers(fromDoubles.size(), -2.0);
    KPX::multiplySparseStrip(a.data(), a.cols(), c.rows, b, fromDoubles.data());
    KPX::multiplySparseStrip(integers.data(), integers.cols(), c.rows, b, fromIntegers.data());
    for (std::size_t k = 0; k + 1 < fromDoubles.size(); ++k) {
      ASSERT_EQ(fromDoubles[k], fromIntegers[k])
          << KPX::vectorLevelName(kernel) << " element " << k;
    }
    EXPECT_EQ(fromIntegers.back(), -2.0);
  }
  KPX::setVectorLevel(saved);
}

// The panel product over a run of rows (not starting at the first) against
// multiplySparseTerms row by row; inner sizes past a panel's cache budget
// take the row path.
TEST_P(SparseProduct, PanelRowsGiveTheRowByRowBits) {
  const Case c = GetParam();
  const VectorLevel saved = KPX::vectorLevel();
  const Matrix<double> a = sparseIntegers(c.rows + 2, c.inner, c.zeroShare, c.rows + 7 * c.inner);
  const Matrix<double> b = randomMatrix(c.inner, c.cols, c.cols + 2);
  KPX::SparseRows terms;
  for (std::uint32_t r = 0; r < a.rows(); ++r) {
    for (std::uint32_t k = 0; k < a.cols(); ++k) {
      if (a[r][k] == 0.0) continue;
      terms.index.push_back(k);
      terms.value.push_back(a[r][k]);
    }
    terms.end.push_back(static_cast<std::uint32_t>(terms.index.size()));
  }
  const KPX::SparsePanels panels(b);
  EXPECT_EQ(panels.empty(), c.inner > 128);
  const std::size_t ldc = c.cols + 3;  // a wider target: its gaps stay untouched
  for (VectorLevel kernel : {VectorLevel::Portable, VectorLevel::Avx2, VectorLevel::Avx512}) {
    if (!KPX::setVectorLevel(kernel)) continue;
    std::vector<double> byRow(c.rows * ldc, -1.0);
    std::vector<double> byPanel(byRow.size(), -1.0);
    for (std::uint32_t r = 0; r < c.rows; ++r) {
      const std::uint32_t from = terms.end[r];  // rows 1 .. rows of a
      KPX::multiplySparseTerms(terms.index.data() + from, terms.value.data() + from,
                               terms.end[r + 1] - from, b, byRow.data() + r * ldc);
    }
    KPX::multiplySparseRows(terms, 1, c.rows, b, panels, byPanel.data(), ldc);
    for (std::size_t k = 0; k < byRow.size(); ++k)
      ASSERT_EQ(byRow[k], byPanel[k]) << KPX::vectorLevelName(kernel) << " element " << k;
  }
  KPX::setVectorLevel(saved);
}

// Widths that reach every column block of the kernels: 48, 16, 4 and single.
INSTANTIATE_TEST_SUITE_P(Shapes, SparseProduct,
                         ::testing::Values(Case{1, 1, 1, 0.5}, Case{7, 96, 192, 0.8},
                                           Case{13, 300, 7, 0.0}, Case{5, 45, 45, 1.0},
                                           Case{40, 108, 108, 0.6}, Case{9, 30, 100, 0.7},
                                           Case{6, 64, 65, 0.5}, Case{3, 20, 48, 0.9}));

}  // namespace
