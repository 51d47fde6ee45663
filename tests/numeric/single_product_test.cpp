// The single-precision row product against the double product, at every
// vector level the processor runs.
#include "numeric/single_product.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "numeric/multiply.h"
#include "numeric_helpers.h"

namespace {

using numeric_test::LevelScope;
using numeric_test::randomMatrix;
using numeric_test::supportedLevels;
using numeric_test::ThreadScope;

struct Shape {
  std::uint32_t rows;
  std::uint32_t n;
  std::uint32_t p;
};

// Shapes that reach every tile width (64, 32, 16 columns), a padded last
// vector, rows left over from the groups and from the converted blocks.
const Shape kShapes[] = {{1, 1, 1},     {5, 7, 3},     {13, 192, 96}, {70, 33, 17},
                         {130, 64, 80}, {9, 192, 150}, {67, 48, 112}};

// c computed through SingleProduct, with sentinels after its last element.
std::vector<double> singleProduct(const KPX::Matrix<double>& a, const KPX::Matrix<double>& b) {
  std::vector<double> c(static_cast<std::size_t>(a.rows()) * b.cols() + 8, -7.0);
  KPX::SingleProduct(b).multiplyRows(a.data(), a.cols(), a.rows(), c.data());
  return c;
}

void expectSentinels(const std::vector<double>& c, std::size_t used, const std::string& what) {
  for (std::size_t k = used; k < c.size(); ++k) EXPECT_EQ(c[k], -7.0) << what << " wrote past c";
}

TEST(SingleProduct, EveryLevelIsWithinFloatRoundingOfTheDoubleProduct) {
  for (KPX::VectorLevel level : supportedLevels()) {
    LevelScope scope(level);
    for (const Shape& s : kShapes) {
      const std::string what = std::string(KPX::vectorLevelName(level)) + " " +
                               std::to_string(s.rows) + "x" + std::to_string(s.n) + "x" +
                               std::to_string(s.p);
      const KPX::Matrix<double> a = randomMatrix(s.rows, s.n, 11 + s.n);
      const KPX::Matrix<double> b = randomMatrix(s.n, s.p, 29 + s.p);
      const KPX::Matrix<double> exact = KPX::multiply(a, b);
      const std::vector<double> c = singleProduct(a, b);
      for (std::uint32_t i = 0; i < s.rows; ++i) {
        for (std::uint32_t j = 0; j < s.p; ++j) {
          // The classic bound of a sum of n products of rounded inputs.
          double magnitude = 0.0;
          for (std::uint32_t k = 0; k < s.n; ++k) magnitude += std::fabs(a[i][k] * b[k][j]);
          const double bound = 2.0 * (s.n + 2) * std::ldexp(1.0, -24) * magnitude;
          ASSERT_NEAR(c[static_cast<std::size_t>(i) * s.p + j], exact[i][j], bound)
              << what << " at " << i << "," << j;
        }
      }
      expectSentinels(c, static_cast<std::size_t>(s.rows) * s.p, what);
    }
  }
}

// Integer pixels times bases of a few bits: every product and partial sum
// fits the float mantissa, so the coefficients are those of the double
// product exactly, and the encoder's integers with them.
TEST(SingleProduct, SumsThatFitTheMantissaAreExact) {
  const std::uint32_t rows = 45;
  const std::uint32_t n = 192;
  const std::uint32_t p = 96;
  KPX::Matrix<double> a(rows, n);
  KPX::Matrix<double> b(n, p);
  for (std::uint32_t k = 0; k < a.count(); ++k)
    a.data()[k] = static_cast<double>(static_cast<int>((k * 37u) % 511u) - 255);
  for (std::uint32_t k = 0; k < b.count(); ++k)
    b.data()[k] = static_cast<double>(static_cast<int>((k * 53u) % 255u) - 127) / 128.0;
  const KPX::Matrix<double> exact = KPX::multiply(a, b);
  for (KPX::VectorLevel level : supportedLevels()) {
    LevelScope scope(level);
    const std::vector<double> c = singleProduct(a, b);
    for (std::uint32_t k = 0; k < exact.count(); ++k)
      ASSERT_EQ(c[k], exact.data()[k]) << KPX::vectorLevelName(level) << " element " << k;
  }
}

TEST(SingleProduct, ThreadsShareRowsWithoutChangingAValue) {
  const KPX::Matrix<double> a = randomMatrix(1000, 192, 3);
  const KPX::Matrix<double> b = randomMatrix(192, 96, 4);
  std::vector<double> one;
  {
    ThreadScope threads(1);
    one = singleProduct(a, b);
  }
  ThreadScope threads(4);
  EXPECT_EQ(singleProduct(a, b), one);
}

}  // namespace
