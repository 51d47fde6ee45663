#include "numeric/tanh_vector.h"

#include <immintrin.h>

#include <cmath>

namespace KPX {
namespace {

// For a = |x| below 1, tanh(a) = -m / (2 + m) with m = expm1(-2a); from 1 on,
// 1 - 2 / (m + 2) with m = expm1(2a), where the quotient is small and its
// rounding hardly shows. No cancellation at any magnitude. expm1(v) = 2^n (expm1(r) + 1) - 1 with v
// = n ln 2 + r, |r| <= ln(2) / 2, and expm1(r) = r + r^2 c(r), c a polynomial (relative
// error 2.7e-17 on that interval).
constexpr double kExpm1[10] = {
    0.5000000000000006,    0.166666666666667,      0.04166666666657739,   0.00833333333332016,
    0.001388888893069438,  0.00019841269855887735, 2.480150670534061e-05, 2.7557300396256066e-06,
    2.762540010144496e-07, 2.508277048207325e-08};
// tanh(22) rounds to 1, and 2^n stays a normal number.
constexpr double kSaturated = 22.0;
constexpr double kLog2E = 1.4426950408889634;
// ln 2 in two parts: the first with trailing zero bits, the second the rest.
constexpr double kLn2High = 6.93147180369123816490e-01;
constexpr double kLn2Low = 1.90821492927058770002e-10;
// Added to a whole number below 2^51 in magnitude, leaves it in the low bits.
constexpr double kShifter = 6755399441055744.0;

__attribute__((target("avx2,fma"))) __m256d tanh4(__m256d x) {
  const __m256d signBit = _mm256_set1_pd(-0.0);
  const __m256d a = _mm256_andnot_pd(signBit, x);
  const __m256d one = _mm256_set1_pd(1.0);
  const __m256d two = _mm256_set1_pd(2.0);
  const __m256d below = _mm256_cmp_pd(a, one, _CMP_LT_OQ);
  // A NaN passes the clamp and stays NaN.
  const __m256d v = _mm256_mul_pd(_mm256_blendv_pd(two, _mm256_set1_pd(-2.0), below),
                                  _mm256_min_pd(_mm256_set1_pd(kSaturated), a));
  const __m256d n = _mm256_round_pd(_mm256_mul_pd(v, _mm256_set1_pd(kLog2E)),
                                    _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
  __m256d r = _mm256_fmadd_pd(n, _mm256_set1_pd(-kLn2High), v);
  r = _mm256_fmadd_pd(n, _mm256_set1_pd(-kLn2Low), r);
  // c(r) by Estrin's scheme: short dependency chains.
  const __m256d r2 = _mm256_mul_pd(r, r);
  const __m256d r4 = _mm256_mul_pd(r2, r2);
  __m256d pair[5];
  for (int i = 0; i < 5; ++i)
    pair[i] = _mm256_fmadd_pd(_mm256_set1_pd(kExpm1[2 * i + 1]), r, _mm256_set1_pd(kExpm1[2 * i]));
  const __m256d c03 = _mm256_fmadd_pd(pair[1], r2, pair[0]);
  const __m256d c47 = _mm256_fmadd_pd(pair[3], r2, pair[2]);
  const __m256d c07 = _mm256_fmadd_pd(c47, r4, c03);
  const __m256d c = _mm256_fmadd_pd(pair[4], _mm256_mul_pd(r4, r4), c07);
  const __m256d em1r = _mm256_fmadd_pd(r2, c, r);
  // 2^n from its exponent bits (-64 <= n <= 64).
  const __m256i whole = _mm256_castpd_si256(_mm256_add_pd(n, _mm256_set1_pd(kShifter)));
  const __m256d scale =
      _mm256_castsi256_pd(_mm256_slli_epi64(_mm256_add_epi64(whole, _mm256_set1_epi64x(1023)), 52));
  const __m256d m = _mm256_fmadd_pd(scale, em1r, _mm256_sub_pd(scale, one));
  const __m256d q =
      _mm256_div_pd(_mm256_blendv_pd(two, _mm256_xor_pd(signBit, m), below), _mm256_add_pd(m, two));
  const __m256d t = _mm256_blendv_pd(_mm256_sub_pd(one, q), q, below);
  // t = tanh(a) (or -0 for a = 0); the sign of x instead.
  return _mm256_or_pd(_mm256_andnot_pd(signBit, t), _mm256_and_pd(signBit, x));
}

__attribute__((target("avx2,fma"))) void tanhAvx2(double* v, std::size_t n) {
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) _mm256_storeu_pd(v + i, tanh4(_mm256_loadu_pd(v + i)));
  for (; i < n; ++i) v[i] = tanhScalar(v[i]);
}

}  // namespace

double tanhScalar(double x) {
  if (std::isnan(x)) return x;
  const double a = std::fabs(x);
  const bool below = a < 1.0;
  const double v = (below ? -2.0 : 2.0) * (kSaturated < a ? kSaturated : a);
  const double n = std::nearbyint(v * kLog2E);
  double r = std::fma(n, -kLn2High, v);
  r = std::fma(n, -kLn2Low, r);
  const double r2 = r * r;
  const double r4 = r2 * r2;
  const auto pair = [&](int i) { return std::fma(kExpm1[i + 1], r, kExpm1[i]); };
  const double c03 = std::fma(pair(2), r2, pair(0));
  const double c47 = std::fma(pair(6), r2, pair(4));
  const double c07 = std::fma(c47, r4, c03);
  const double c = std::fma(pair(8), r4 * r4, c07);
  const double em1r = std::fma(r2, c, r);
  const double scale = std::ldexp(1.0, static_cast<int>(n));
  const double m = std::fma(scale, em1r, scale - 1.0);
  const double t = below ? -m / (m + 2.0) : 1.0 - 2.0 / (m + 2.0);
  return std::copysign(std::fabs(t), x);
}

void tanhInPlace(double* v, std::size_t n, bool vectorise) {
  if (vectorise && haveAvx2Fma()) {
    tanhAvx2(v, n);
    return;
  }
  for (std::size_t i = 0; i < n; ++i) v[i] = tanhScalar(v[i]);
}

bool haveAvx2Fma() {
  static const bool have = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  return have;
}

}  // namespace KPX
