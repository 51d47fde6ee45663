#include "numeric/tanh_vector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

// -25 to 25 in steps of 1/4096, values near 0 down to the subnormals, and
// the edges where the formula or the clamp changes.
std::vector<double> denseArguments() {
  std::vector<double> x;
  for (int i = -25 * 4096; i <= 25 * 4096; ++i) x.push_back(i / 4096.0);
  for (double a = 1e-310; a < 1.0; a *= 1.07) {
    x.push_back(a);
    x.push_back(-a);
  }
  for (double edge : {1.0, 22.0, 0.5 * std::log(3.0)}) {
    x.push_back(std::nextafter(edge, 0.0));
    x.push_back(std::nextafter(edge, 100.0));
  }
  return x;
}

// The distance to the exact tangent (long double) in units of the last place
// of the double result.
double ulpError(double value, double x) {
  const long double exact = tanhl(static_cast<long double>(x));
  const double rounded = static_cast<double>(exact);
  const double ulp = std::fabs(rounded) >= 1.0 ? std::numeric_limits<double>::epsilon() / 2
                                               : std::fabs(std::nextafter(rounded, 2.0) - rounded);
  return static_cast<double>(std::fabs(static_cast<long double>(value) - exact)) / ulp;
}

TEST(TanhVector, WithinTwoUnitsInTheLastPlace) {
  double worst = 0.0;
  double at = 0.0;
  for (double x : denseArguments()) {
    const double e = ulpError(KPX::tanhScalar(x), x);
    if (e > worst) {
      worst = e;
      at = x;
    }
  }
  EXPECT_LT(worst, 2.5) << "at " << at;
}

TEST(TanhVector, SignsLimitsAndNaN) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double x;
    double expected;
  };
  const Case cases[] = {{0.0, 0.0},   {-0.0, -0.0},     {inf, 1.0},
                        {-inf, -1.0}, {22.0, 1.0},      {-40.0, -1.0},
                        {1e300, 1.0}, {1e-300, 1e-300}, {-5e-324, -5e-324}};
  for (const Case& c : cases) {
    const double t = KPX::tanhScalar(c.x);
    EXPECT_EQ(t, c.expected) << c.x;
    EXPECT_EQ(std::signbit(t), std::signbit(c.expected)) << c.x;
  }
  EXPECT_TRUE(std::isnan(KPX::tanhScalar(std::numeric_limits<double>::quiet_NaN())));
  for (double x : {0.1, 0.9, 1.0, 3.0, 19.0}) EXPECT_EQ(KPX::tanhScalar(-x), -KPX::tanhScalar(x));
}

TEST(TanhVector, VectorFormEqualsTheScalarForm) {
  if (!KPX::haveAvx2Fma()) GTEST_SKIP() << "no AVX2 and FMA";
  std::vector<double> x = denseArguments();
  const double inf = std::numeric_limits<double>::infinity();
  for (double special : {inf, -inf, 0.0, -0.0, 1e300}) x.push_back(special);
  x.push_back(std::numeric_limits<double>::quiet_NaN());
  x.push_back(0.3);  // an odd count: the last element takes the scalar path
  std::vector<double> vector = x;
  KPX::tanhInPlace(vector.data(), vector.size(), true);
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double scalar = KPX::tanhScalar(x[i]);
    if (std::isnan(scalar)) {
      EXPECT_TRUE(std::isnan(vector[i]));
    } else {
      EXPECT_EQ(std::memcmp(&vector[i], &scalar, sizeof scalar), 0) << "x = " << x[i];
    }
  }
}

}  // namespace
