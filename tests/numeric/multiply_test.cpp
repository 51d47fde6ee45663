#include "numeric/multiply.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "numeric/matrix_ops.h"
#include "numeric_helpers.h"

using KPX::Matrix;
using KPX::VectorLevel;
using numeric_test::fromRows;
using numeric_test::randomMatrix;
using numeric_test::supportedLevels;
using testing_support::expectBitEqual;

namespace {

// Restores the process-wide kernel choice after each test.
class KernelScope {
 public:
  KernelScope() : saved_(KPX::vectorLevel()) {}
  ~KernelScope() { KPX::setVectorLevel(saved_); }
  KernelScope(const KernelScope&) = delete;
  KernelScope& operator=(const KernelScope&) = delete;

 private:
  VectorLevel saved_;
};

// Each element as one chain over the inner index in increasing order: with a
// fused multiply-add per step for the AVX kernels, product then sum for the
// portable one. The kernels promise exactly this, bit for bit.
Matrix<double> referenceProduct(const Matrix<double>& a, const Matrix<double>& b, bool fused) {
  Matrix<double> c(a.rows(), b.cols());
  for (std::uint32_t i = 0; i < a.rows(); ++i) {
    for (std::uint32_t j = 0; j < b.cols(); ++j) {
      double s = 0.0;
      for (std::uint32_t k = 0; k < a.cols(); ++k) {
        if (fused) {
          s = std::fma(a[i][k], b[k][j], s);
        } else {
          const volatile double product = a[i][k] * b[k][j];
          s = s + product;
        }
      }
      c[i][j] = s;
    }
  }
  return c;
}

struct Shape {
  std::uint32_t m, n, p;
};

// Register tiles are 4x4, 6x8 and 8x24; cache blocks are 256 deep and 256
// wide. The shapes cross every edge of them, and the old tile edge of 144.
const Shape kShapes[] = {
    {1, 1, 1},       {2, 3, 5},     {4, 4, 4},    {5, 7, 9},    {6, 8, 8},       {7, 9, 25},
    {8, 24, 24},     {9, 25, 23},   {13, 1, 47},  {1, 300, 1},  {143, 143, 143}, {144, 144, 144},
    {145, 145, 145}, {17, 257, 49}, {30, 513, 7}, {3, 40, 270}, {50, 256, 530}};

TEST(Multiply, EveryKernelMatchesTheChainedSumOnOddShapes) {
  KernelScope scope;
  for (VectorLevel kernel : supportedLevels()) {
    ASSERT_TRUE(KPX::setVectorLevel(kernel));
    const bool fused = kernel != VectorLevel::Portable;
    std::uint32_t seed = 1;
    for (const Shape& s : kShapes) {
      const Matrix<double> a = randomMatrix(s.m, s.n, seed++);
      const Matrix<double> b = randomMatrix(s.n, s.p, seed++);
      const std::string what = std::string(KPX::vectorLevelName(kernel)) + " " +
                               std::to_string(s.m) + "x" + std::to_string(s.n) + "x" +
                               std::to_string(s.p);
      expectBitEqual(referenceProduct(a, b, fused), KPX::multiply(a, b), what);
    }
  }
}

TEST(Multiply, FusedKernelsAgreeBitForBit) {
  KernelScope scope;
  if (!KPX::vectorLevelSupported(VectorLevel::Avx512)) GTEST_SKIP() << "no AVX-512";
  const Matrix<double> a = randomMatrix(301, 199, 11);
  const Matrix<double> b = randomMatrix(199, 97, 12);
  KPX::setVectorLevel(VectorLevel::Avx512);
  const Matrix<double> wide = KPX::multiply(a, b);
  KPX::setVectorLevel(VectorLevel::Avx2);
  expectBitEqual(wide, KPX::multiply(a, b), "avx2 against avx512");
}

TEST(Multiply, TransposedFormsEqualTheExplicitTranspose) {
  KernelScope scope;
  for (VectorLevel kernel : supportedLevels()) {
    KPX::setVectorLevel(kernel);
    for (const Shape& s : {Shape{1, 1, 1}, Shape{7, 300, 26}, Shape{145, 9, 31}}) {
      const Matrix<double> a = randomMatrix(s.n, s.m, 3);  // used as a^T
      const Matrix<double> b = randomMatrix(s.n, s.p, 4);
      expectBitEqual(KPX::multiply(KPX::transpose(a), b), KPX::multiplyAtB(a, b), "a^T b");
      const Matrix<double> c = randomMatrix(s.m, s.n, 5);
      const Matrix<double> d = randomMatrix(s.p, s.n, 6);  // used as d^T
      expectBitEqual(KPX::multiply(c, KPX::transpose(d)), KPX::multiplyABt(c, d), "c d^T");
    }
  }
}

TEST(Multiply, SmallProductByHand) {
  const Matrix<double> a = fromRows({{1, 2, 3}, {4, 5, 6}});
  const Matrix<double> b = fromRows({{7, 8}, {9, 10}, {11, 12}});
  const Matrix<double> c = KPX::multiply(a, b);
  ASSERT_EQ(c.rows(), 2u);
  ASSERT_EQ(c.cols(), 2u);
  EXPECT_EQ(c[0][0], 58);
  EXPECT_EQ(c[0][1], 64);
  EXPECT_EQ(c[1][0], 139);
  EXPECT_EQ(c[1][1], 154);
}

TEST(Multiply, EmptyOperands) {
  KernelScope scope;
  for (VectorLevel kernel : supportedLevels()) {
    KPX::setVectorLevel(kernel);
    // An empty inner dimension gives zeros, not uninitialised memory.
    Matrix<double> a(5, 0);
    Matrix<double> b(0, 3);
    const Matrix<double> zero = KPX::multiply(a, b);
    ASSERT_EQ(zero.rows(), 5u);
    ASSERT_EQ(zero.cols(), 3u);
    for (std::uint32_t k = 0; k < zero.count(); ++k) EXPECT_EQ(zero.data()[k], 0.0);

    const Matrix<double> noRows = KPX::multiply(Matrix<double>(0, 4), randomMatrix(4, 6, 1));
    EXPECT_EQ(noRows.rows(), 0u);
    EXPECT_EQ(noRows.cols(), 6u);
    EXPECT_EQ(noRows.data(), nullptr);
    const Matrix<double> noCols = KPX::multiply(randomMatrix(6, 4, 2), Matrix<double>(4, 0));
    EXPECT_EQ(noCols.rows(), 6u);
    EXPECT_EQ(noCols.cols(), 0u);
    EXPECT_EQ(noCols.data(), nullptr);
  }
}

TEST(Multiply, RowViewsFlagFollowsTheOperands) {
  Matrix<double> a(2, 2, false);
  Matrix<double> b(2, 2, false);
  KPX::fill(a, 1.0);
  KPX::fill(b, 1.0);
  EXPECT_FALSE(KPX::multiply(a, b).hasRowViews());
  Matrix<double> c(2, 2, true);
  KPX::fill(c, 1.0);
  EXPECT_TRUE(KPX::multiply(a, c).hasRowViews());
  EXPECT_TRUE(KPX::multiply(c, b).hasRowViews());
}

TEST(Multiply, KernelSelection) {
  KernelScope scope;
  EXPECT_TRUE(KPX::vectorLevelSupported(VectorLevel::Portable));
  EXPECT_TRUE(KPX::setVectorLevel(VectorLevel::Portable));
  EXPECT_EQ(KPX::vectorLevel(), VectorLevel::Portable);
  for (VectorLevel k : {VectorLevel::Avx2, VectorLevel::Avx512}) {
    EXPECT_EQ(KPX::setVectorLevel(k), KPX::vectorLevelSupported(k));
  }
  EXPECT_STREQ(KPX::vectorLevelName(VectorLevel::Avx2), "avx2");
}

}  // namespace
