#include "numeric/tanh_float.h"

#include <immintrin.h>

#include <cmath>
#include <cstdint>
#include <cstring>

namespace KPX {
namespace {

// Below this magnitude an odd polynomial: tanh(x) = x + x^3 p(x^2) (relative
// error 3.4e-9 on [0, 0.55]). Above it (1 - e) / (1 + e) with e = exp(-2|x|),
// where 1 - e no longer cancels more than a bit.
constexpr float kSmall = 0.55f;
// tanh(9.5) rounds to 1, and e = exp(-19) stays a normal number.
constexpr float kSaturated = 9.5f;
constexpr float kTanh[5] = {-0.33333316445350647f, 0.13332580029964447f, -0.053851865231990814f,
                            0.02107025310397148f, -0.006272607482969761f};
// exp(r) = 1 + r + r^2 q(r) on |r| <= ln(2) / 2 (relative error 5.4e-9).
constexpr float kExp[5] = {0.5f, 0.16666516661643982f, 0.04166626185178757f, 0.008369151502847672f,
                           0.0013946446124464273f};
constexpr float kLog2E = 1.44269504088896341f;
// ln 2 in two parts: the first the float nearest to it, the second the rest.
constexpr float kLn2High = 0.693147182464599609375f;
constexpr float kLn2Low = -1.904654323148236e-09f;

bool haveAvx2() {
  static const bool have = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  return have;
}

__attribute__((target("avx2,fma"))) __m256 tanh8(__m256 x) {
  const __m256 signBit = _mm256_set1_ps(-0.0f);
  const __m256 a = _mm256_andnot_ps(signBit, x);
  // Small magnitudes.
  const __m256 s = _mm256_mul_ps(x, x);
  __m256 p = _mm256_set1_ps(kTanh[4]);
  for (int i = 3; i >= 0; --i) p = _mm256_fmadd_ps(p, s, _mm256_set1_ps(kTanh[i]));
  const __m256 small = _mm256_fmadd_ps(_mm256_mul_ps(x, s), p, x);
  // Large magnitudes; a NaN passes the clamp and stays NaN.
  const __m256 v =
      _mm256_mul_ps(_mm256_set1_ps(-2.0f), _mm256_min_ps(_mm256_set1_ps(kSaturated), a));
  const __m256 n = _mm256_round_ps(_mm256_mul_ps(v, _mm256_set1_ps(kLog2E)),
                                   _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
  __m256 r = _mm256_fmadd_ps(n, _mm256_set1_ps(-kLn2High), v);
  r = _mm256_fmadd_ps(n, _mm256_set1_ps(-kLn2Low), r);
  __m256 q = _mm256_set1_ps(kExp[4]);
  for (int i = 3; i >= 0; --i) q = _mm256_fmadd_ps(q, r, _mm256_set1_ps(kExp[i]));
  const __m256 one = _mm256_set1_ps(1.0f);
  const __m256 expR = _mm256_fmadd_ps(_mm256_mul_ps(r, r), q, _mm256_add_ps(one, r));
  const __m256i bits =
      _mm256_slli_epi32(_mm256_add_epi32(_mm256_cvtps_epi32(n), _mm256_set1_epi32(127)), 23);
  const __m256 e = _mm256_mul_ps(expR, _mm256_castsi256_ps(bits));
  const __m256 large = _mm256_or_ps(_mm256_div_ps(_mm256_sub_ps(one, e), _mm256_add_ps(one, e)),
                                    _mm256_and_ps(signBit, x));
  const __m256 isSmall = _mm256_cmp_ps(a, _mm256_set1_ps(kSmall), _CMP_LT_OQ);
  return _mm256_blendv_ps(large, small, isSmall);
}

__attribute__((target("avx2,fma"))) void tanhAvx2(float* v, std::size_t n) {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) _mm256_storeu_ps(v + i, tanh8(_mm256_loadu_ps(v + i)));
  for (; i < n; ++i) v[i] = tanhFloat(v[i]);
}

}  // namespace

float tanhFloat(float x) {
  if (std::isnan(x)) return x;
  const float a = std::fabs(x);
  if (a < kSmall) {
    const float s = x * x;
    float p = kTanh[4];
    for (int i = 3; i >= 0; --i) p = std::fma(p, s, kTanh[i]);
    return std::fma(x * s, p, x);
  }
  const float v = -2.0f * (kSaturated < a ? kSaturated : a);
  const float n = std::nearbyint(v * kLog2E);
  float r = std::fma(n, -kLn2High, v);
  r = std::fma(n, -kLn2Low, r);
  float q = kExp[4];
  for (int i = 3; i >= 0; --i) q = std::fma(q, r, kExp[i]);
  const float expR = std::fma(r * r, q, 1.0f + r);
  // 2^n built from its exponent bits, as the vector form does (n >= -28).
  const std::uint32_t bits = static_cast<std::uint32_t>(static_cast<std::int32_t>(n) + 127) << 23;
  float scale;
  std::memcpy(&scale, &bits, sizeof scale);
  const float e = expR * scale;
  return std::copysign((1.0f - e) / (1.0f + e), x);
}

void tanhFloats(float* v, std::size_t n, bool vectorise) {
  if (vectorise && haveAvx2()) {
    tanhAvx2(v, n);
    return;
  }
  for (std::size_t i = 0; i < n; ++i) v[i] = tanhFloat(v[i]);
}

bool tanhFloatsVectorised() { return haveAvx2(); }

}  // namespace KPX
