// The vector tangent against the library's, and its versions against each
// other.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "numeric/cpu_features.h"
#include "numeric/vector_tanh.h"
#include "numeric_helpers.h"

namespace {

// Values where the method changes (reduced argument, saturation), tiny and
// huge magnitudes, signed zeros, and a sweep; 1001 of them, so that the last
// ones go through the tail of every vector width.
std::vector<double> inputs() {
  std::vector<double> v = {0.0,    -0.0,  1e-300, -1e-300, 1e-12, -1e-9,  0.1733, -0.1734,
                           0.3466, 0.5,   -1.0,   2.0,     9.9,   10.0,   -10.1,  19.999,
                           20.0,   -20.0, 25.0,   -700.0,  1e300, -1e300, 0.25,   -3.75};
  for (int i = 0; static_cast<int>(v.size()) < 1001; ++i) v.push_back(-12.0 + 0.0241 * i);
  return v;
}

double ulpsApart(double a, double b) {
  if (a == b) return 0.0;
  const double unit =
      std::nextafter(std::fabs(b), std::numeric_limits<double>::infinity()) - std::fabs(b);
  return std::fabs(a - b) / unit;
}

TEST(VectorTanh, EveryLevelIsWithinAFewUnitsOfTheLibrary) {
  const std::vector<double> x = inputs();
  for (KPX::VectorLevel level :
       {KPX::VectorLevel::Portable, KPX::VectorLevel::Avx2, KPX::VectorLevel::Avx512}) {
    if (!KPX::vectorLevelSupported(level)) continue;
    SCOPED_TRACE(KPX::vectorLevelName(level));
    const numeric_test::LevelScope scope(level);
    std::vector<double> t = x;
    KPX::tanhInPlace(t.data(), t.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
      const double want = std::tanh(x[i]);
      EXPECT_LE(ulpsApart(t[i], want), 4.0)
          << "tanh(" << x[i] << ") = " << t[i] << ", not " << want;
      EXPECT_EQ(std::signbit(t[i]), std::signbit(want)) << x[i];
    }
  }
}

TEST(VectorTanh, VectorVersionsAgreeBitForBitWhereverAValueLies) {
  if (!KPX::vectorLevelSupported(KPX::VectorLevel::Avx2)) GTEST_SKIP() << "no AVX2";
  const std::vector<double> x = inputs();
  std::vector<double> avx2 = x;
  {
    const numeric_test::LevelScope scope(KPX::VectorLevel::Avx2);
    KPX::tanhInPlace(avx2.data(), avx2.size());
    // One value at a time: the tail path gives what the full vectors gave.
    for (std::size_t i = 0; i < x.size(); i += 97) {
      double one = x[i];
      KPX::tanhInPlace(&one, 1);
      EXPECT_EQ(one, avx2[i]) << x[i];
    }
  }
  if (!KPX::vectorLevelSupported(KPX::VectorLevel::Avx512)) return;
  const numeric_test::LevelScope scope(KPX::VectorLevel::Avx512);
  std::vector<double> avx512 = x;
  KPX::tanhInPlace(avx512.data(), avx512.size());
  for (std::size_t i = 0; i < x.size(); ++i) EXPECT_EQ(avx512[i], avx2[i]) << x[i];
}

TEST(VectorTanh, NotANumberStaysNotANumber) {
  for (KPX::VectorLevel level :
       {KPX::VectorLevel::Portable, KPX::VectorLevel::Avx2, KPX::VectorLevel::Avx512}) {
    if (!KPX::vectorLevelSupported(level)) continue;
    const numeric_test::LevelScope scope(level);
    double v[3] = {std::numeric_limits<double>::quiet_NaN(), 0.5,
                   -std::numeric_limits<double>::quiet_NaN()};
    KPX::tanhInPlace(v, 3);
    EXPECT_TRUE(std::isnan(v[0])) << KPX::vectorLevelName(level);
    EXPECT_TRUE(std::isnan(v[2])) << KPX::vectorLevelName(level);
    EXPECT_DOUBLE_EQ(v[1], std::tanh(0.5));
  }
}

// Single precision: the same kinds of values at the float limits (tiny and
// subnormal, the saturation at 10, overflow of the exponent), 1001 in all.
std::vector<float> singleInputs() {
  std::vector<float> v = {0.0f,    -0.0f,  1e-40f, -1e-38f, 1e-7f, -3e-5f, 0.1733f, -0.1734f,
                          0.3466f, 0.5f,   -1.0f,  2.0f,    8.9f,  9.01f,  -9.99f,  10.0f,
                          -10.0f,  10.01f, 89.0f,  -1e30f,  3e38f, 0.25f,  -3.75f,  5.5f};
  for (int i = 0; static_cast<int>(v.size()) < 1001; ++i) v.push_back(-12.0f + 0.0241f * i);
  return v;
}

float ulpsApartSingle(float a, float b) {
  if (a == b) return 0.0f;
  const float unit =
      std::nextafter(std::fabs(b), std::numeric_limits<float>::infinity()) - std::fabs(b);
  return std::fabs(a - b) / unit;
}

TEST(VectorTanhSingle, EveryLevelIsWithinAFewUnitsOfTheCorrectlyRoundedTangent) {
  const std::vector<float> x = singleInputs();
  for (KPX::VectorLevel level : numeric_test::supportedLevels()) {
    SCOPED_TRACE(KPX::vectorLevelName(level));
    const numeric_test::LevelScope scope(level);
    std::vector<float> t = x;
    KPX::tanhInPlace(t.data(), t.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
      const float want = static_cast<float>(std::tanh(static_cast<double>(x[i])));
      EXPECT_LE(ulpsApartSingle(t[i], want), 3.0f)
          << "tanh(" << x[i] << ") = " << t[i] << ", not " << want;
      EXPECT_EQ(std::signbit(t[i]), std::signbit(want)) << x[i];
    }
  }
}

TEST(VectorTanhSingle, VectorVersionsAgreeBitForBitWhereverAValueLies) {
  if (!KPX::vectorLevelSupported(KPX::VectorLevel::Avx2)) GTEST_SKIP() << "no AVX2";
  const std::vector<float> x = singleInputs();
  std::vector<float> avx2 = x;
  {
    const numeric_test::LevelScope scope(KPX::VectorLevel::Avx2);
    KPX::tanhInPlace(avx2.data(), avx2.size());
    for (std::size_t i = 0; i < x.size(); i += 97) {
      float one = x[i];
      KPX::tanhInPlace(&one, 1);
      EXPECT_EQ(one, avx2[i]) << x[i];
    }
  }
  if (!KPX::vectorLevelSupported(KPX::VectorLevel::Avx512)) return;
  const numeric_test::LevelScope scope(KPX::VectorLevel::Avx512);
  std::vector<float> avx512 = x;
  KPX::tanhInPlace(avx512.data(), avx512.size());
  for (std::size_t i = 0; i < x.size(); ++i) EXPECT_EQ(avx512[i], avx2[i]) << x[i];
  for (std::size_t i = 0; i < x.size(); i += 89) {
    float one = x[i];
    KPX::tanhInPlace(&one, 1);
    EXPECT_EQ(one, avx512[i]) << x[i];
  }
}

TEST(VectorTanhSingle, NotANumberStaysNotANumber) {
  for (KPX::VectorLevel level : numeric_test::supportedLevels()) {
    const numeric_test::LevelScope scope(level);
    float v[3] = {std::numeric_limits<float>::quiet_NaN(), 0.5f,
                  -std::numeric_limits<float>::quiet_NaN()};
    KPX::tanhInPlace(v, 3);
    EXPECT_TRUE(std::isnan(v[0])) << KPX::vectorLevelName(level);
    EXPECT_TRUE(std::isnan(v[2])) << KPX::vectorLevelName(level);
    EXPECT_FLOAT_EQ(v[1], std::tanh(0.5f));
  }
}

}  // namespace
