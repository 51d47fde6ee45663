#include "numeric/vector_tanh.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>

#include "numeric/cpu_features.h"

namespace KPX {
namespace {

// Past 20 the tangent is 1 in doubles (1 - tanh(20) is about 8e-18).
constexpr double kSaturation = 20.0;
constexpr double kLog2e = 1.4426950408889634;
// ln 2 split so that n * kLn2High is exact for the n used here (n <= 58).
constexpr double kLn2High = 0.6931471803691238;
constexpr double kLn2Low = 1.9082149292705877e-10;
// expm1(r) = r * P(r) with P's coefficients 1 / (i + 1)!; for |r| <= ln 2 / 2
// the first term left out is below 2e-17 of the result.
constexpr double kExpm1Coefficients[] = {
    1.0,
    1.0 / 2,
    1.0 / 6,
    1.0 / 24,
    1.0 / 120,
    1.0 / 720,
    1.0 / 5040,
    1.0 / 40320,
    1.0 / 362880,
    1.0 / 3628800,
    1.0 / 39916800,
    1.0 / 479001600,
    1.0 / 6227020800,
};
constexpr int kTerms = sizeof(kExpm1Coefficients) / sizeof(kExpm1Coefficients[0]);

void tanhPortable(double* values, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) values[i] = std::tanh(values[i]);
}

__attribute__((target("avx2,fma"))) __m256d tanh4(__m256d x) {
  const __m256d signBit = _mm256_set1_pd(-0.0);
  const __m256d sign = _mm256_and_pd(x, signBit);
  // min(limit, |x|) keeps a NaN: the second operand is returned for it.
  const __m256d a = _mm256_min_pd(_mm256_set1_pd(kSaturation), _mm256_andnot_pd(signBit, x));
  const __m256d y = _mm256_add_pd(a, a);
  const __m256d n = _mm256_round_pd(_mm256_mul_pd(y, _mm256_set1_pd(kLog2e)),
                                    _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
  __m256d r = _mm256_fnmadd_pd(n, _mm256_set1_pd(kLn2High), y);
  r = _mm256_fnmadd_pd(n, _mm256_set1_pd(kLn2Low), r);
  __m256d p = _mm256_set1_pd(kExpm1Coefficients[kTerms - 1]);
  for (int i = kTerms - 2; i >= 0; --i)
    p = _mm256_fmadd_pd(p, r, _mm256_set1_pd(kExpm1Coefficients[i]));
  const __m256d q = _mm256_mul_pd(r, p);
  // 2^n from its exponent bits.
  const __m256i bits = _mm256_slli_epi64(
      _mm256_add_epi64(_mm256_cvtepi32_epi64(_mm256_cvtpd_epi32(n)), _mm256_set1_epi64x(1023)), 52);
  const __m256d scale = _mm256_castsi256_pd(bits);
  const __m256d one = _mm256_set1_pd(1.0);
  // exp(y) - 1 = 2^n (expm1(r) + 1) - 1, without cancellation when n = 0.
  const __m256d e = _mm256_fmadd_pd(scale, q, _mm256_sub_pd(scale, one));
  const __m256d t = _mm256_div_pd(e, _mm256_add_pd(e, _mm256_set1_pd(2.0)));
  return _mm256_or_pd(t, sign);
}

__attribute__((target("avx2,fma"))) void tanhAvx2(double* values, std::size_t count) {
  std::size_t i = 0;
  for (; i + 4 <= count; i += 4) _mm256_storeu_pd(values + i, tanh4(_mm256_loadu_pd(values + i)));
  if (i == count) return;
  // The last values through the same lanes.
  double last[4] = {};
  std::copy(values + i, values + count, last);
  _mm256_storeu_pd(last, tanh4(_mm256_loadu_pd(last)));
  std::copy(last, last + (count - i), values + i);
}

// GCC's AVX-512 intrinsics start from an "undefined" register that its
// flow analysis takes for an uninitialised read.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
__attribute__((target("avx512f"))) __m512d tanh8(__m512d x) {
  const __m512i signBit = _mm512_set1_epi64(static_cast<long long>(0x8000000000000000ull));
  const __m512i xi = _mm512_castpd_si512(x);
  const __m512i sign = _mm512_and_si512(xi, signBit);
  const __m512d a = _mm512_min_pd(_mm512_set1_pd(kSaturation),
                                  _mm512_castsi512_pd(_mm512_andnot_si512(signBit, xi)));
  const __m512d y = _mm512_add_pd(a, a);
  const __m512d n = _mm512_roundscale_pd(_mm512_mul_pd(y, _mm512_set1_pd(kLog2e)),
                                         _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
  __m512d r = _mm512_fnmadd_pd(n, _mm512_set1_pd(kLn2High), y);
  r = _mm512_fnmadd_pd(n, _mm512_set1_pd(kLn2Low), r);
  __m512d p = _mm512_set1_pd(kExpm1Coefficients[kTerms - 1]);
  for (int i = kTerms - 2; i >= 0; --i)
    p = _mm512_fmadd_pd(p, r, _mm512_set1_pd(kExpm1Coefficients[i]));
  const __m512d q = _mm512_mul_pd(r, p);
  const __m512i bits = _mm512_slli_epi64(
      _mm512_add_epi64(_mm512_cvtepi32_epi64(_mm512_cvtpd_epi32(n)), _mm512_set1_epi64(1023)), 52);
  const __m512d scale = _mm512_castsi512_pd(bits);
  const __m512d one = _mm512_set1_pd(1.0);
  const __m512d e = _mm512_fmadd_pd(scale, q, _mm512_sub_pd(scale, one));
  const __m512d t = _mm512_div_pd(e, _mm512_add_pd(e, _mm512_set1_pd(2.0)));
  return _mm512_castsi512_pd(_mm512_or_si512(_mm512_castpd_si512(t), sign));
}

__attribute__((target("avx512f"))) void tanhAvx512(double* values, std::size_t count) {
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) _mm512_storeu_pd(values + i, tanh8(_mm512_loadu_pd(values + i)));
  if (i == count) return;
  double last[8] = {};
  std::copy(values + i, values + count, last);
  _mm512_storeu_pd(last, tanh8(_mm512_loadu_pd(last)));
  std::copy(last, last + (count - i), values + i);
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

// Single precision. Past 10 the tangent is 1 in floats (1 - tanh(10) is
// about 4e-9).
constexpr float kSaturationF = 10.0f;
constexpr float kLog2eF = 1.44269504f;
// ln 2 in two parts: n * kLn2HighF is exact for n <= 29, all that is used.
constexpr float kLn2HighF = 0.693359375f;
constexpr float kLn2LowF = -2.12194440e-4f;
// expm1(r) = r * P(r) for |r| <= ln 2 / 2; the first term left out is below
// 2e-9 of the result.
constexpr float kExpm1CoefficientsF[] = {
    1.0f, 1.0f / 2, 1.0f / 6, 1.0f / 24, 1.0f / 120, 1.0f / 720, 1.0f / 5040, 1.0f / 40320,
};
constexpr int kTermsF = sizeof(kExpm1CoefficientsF) / sizeof(kExpm1CoefficientsF[0]);

void tanhPortableF(float* values, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) values[i] = std::tanh(values[i]);
}

__attribute__((target("avx2,fma"))) __m256 tanh8f(__m256 x) {
  const __m256 signBit = _mm256_set1_ps(-0.0f);
  const __m256 sign = _mm256_and_ps(x, signBit);
  const __m256 a = _mm256_min_ps(_mm256_set1_ps(kSaturationF), _mm256_andnot_ps(signBit, x));
  const __m256 y = _mm256_add_ps(a, a);
  const __m256 n = _mm256_round_ps(_mm256_mul_ps(y, _mm256_set1_ps(kLog2eF)),
                                   _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
  __m256 r = _mm256_fnmadd_ps(n, _mm256_set1_ps(kLn2HighF), y);
  r = _mm256_fnmadd_ps(n, _mm256_set1_ps(kLn2LowF), r);
  __m256 p = _mm256_set1_ps(kExpm1CoefficientsF[kTermsF - 1]);
  for (int i = kTermsF - 2; i >= 0; --i)
    p = _mm256_fmadd_ps(p, r, _mm256_set1_ps(kExpm1CoefficientsF[i]));
  const __m256 q = _mm256_mul_ps(r, p);
  const __m256i bits =
      _mm256_slli_epi32(_mm256_add_epi32(_mm256_cvtps_epi32(n), _mm256_set1_epi32(127)), 23);
  const __m256 scale = _mm256_castsi256_ps(bits);
  const __m256 e = _mm256_fmadd_ps(scale, q, _mm256_sub_ps(scale, _mm256_set1_ps(1.0f)));
  const __m256 t = _mm256_div_ps(e, _mm256_add_ps(e, _mm256_set1_ps(2.0f)));
  return _mm256_or_ps(t, sign);
}

__attribute__((target("avx2,fma"))) void tanhAvx2F(float* values, std::size_t count) {
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) _mm256_storeu_ps(values + i, tanh8f(_mm256_loadu_ps(values + i)));
  if (i == count) return;
  float last[8] = {};
  std::copy(values + i, values + count, last);
  _mm256_storeu_ps(last, tanh8f(_mm256_loadu_ps(last)));
  std::copy(last, last + (count - i), values + i);
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
__attribute__((target("avx512f"))) __m512 tanh16f(__m512 x) {
  const __m512i signBit = _mm512_set1_epi32(static_cast<int>(0x80000000u));
  const __m512i xi = _mm512_castps_si512(x);
  const __m512i sign = _mm512_and_si512(xi, signBit);
  const __m512 a = _mm512_min_ps(_mm512_set1_ps(kSaturationF),
                                 _mm512_castsi512_ps(_mm512_andnot_si512(signBit, xi)));
  const __m512 y = _mm512_add_ps(a, a);
  const __m512 n = _mm512_roundscale_ps(_mm512_mul_ps(y, _mm512_set1_ps(kLog2eF)),
                                        _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
  __m512 r = _mm512_fnmadd_ps(n, _mm512_set1_ps(kLn2HighF), y);
  r = _mm512_fnmadd_ps(n, _mm512_set1_ps(kLn2LowF), r);
  __m512 p = _mm512_set1_ps(kExpm1CoefficientsF[kTermsF - 1]);
  for (int i = kTermsF - 2; i >= 0; --i)
    p = _mm512_fmadd_ps(p, r, _mm512_set1_ps(kExpm1CoefficientsF[i]));
  const __m512 q = _mm512_mul_ps(r, p);
  const __m512i bits =
      _mm512_slli_epi32(_mm512_add_epi32(_mm512_cvtps_epi32(n), _mm512_set1_epi32(127)), 23);
  const __m512 scale = _mm512_castsi512_ps(bits);
  const __m512 e = _mm512_fmadd_ps(scale, q, _mm512_sub_ps(scale, _mm512_set1_ps(1.0f)));
  const __m512 t = _mm512_div_ps(e, _mm512_add_ps(e, _mm512_set1_ps(2.0f)));
  return _mm512_castsi512_ps(_mm512_or_si512(_mm512_castps_si512(t), sign));
}

__attribute__((target("avx512f"))) void tanhAvx512F(float* values, std::size_t count) {
  std::size_t i = 0;
  for (; i + 16 <= count; i += 16)
    _mm512_storeu_ps(values + i, tanh16f(_mm512_loadu_ps(values + i)));
  if (i == count) return;
  float last[16] = {};
  std::copy(values + i, values + count, last);
  _mm512_storeu_ps(last, tanh16f(_mm512_loadu_ps(last)));
  std::copy(last, last + (count - i), values + i);
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

using TanhKernel = void (*)(double* values, std::size_t count);
const LevelKernel<TanhKernel> kTanh{tanhPortable, tanhAvx2, tanhAvx512};
using TanhKernelF = void (*)(float* values, std::size_t count);
const LevelKernel<TanhKernelF> kTanhF{tanhPortableF, tanhAvx2F, tanhAvx512F};

}  // namespace

void tanhInPlace(double* values, std::size_t count) { kTanh.current()(values, count); }

void tanhInPlace(float* values, std::size_t count) { kTanhF.current()(values, count); }

}  // namespace KPX
