#include "numeric/product_kernels.h"

#include <immintrin.h>

namespace KPX::product {
namespace {

// Element (r, k) of the left operand, see KernelFn.
template <bool Transposed>
inline const double* leftElement(const double* a, std::size_t lda, std::uint32_t r,
                                 std::uint32_t k) {
  return Transposed ? a + static_cast<std::size_t>(k) * lda + r
                    : a + static_cast<std::size_t>(r) * lda + k;
}

// Baseline x86-64 (SSE2): 4 x 4 tile, 8 accumulators of two lanes. Multiply
// and add stay separate instructions, as the baseline has no fused form.
constexpr std::uint32_t kPortableRows = 4;
constexpr std::uint32_t kPortableCols = 4;

template <bool Transposed>
void portableKernel(std::uint32_t kc, const double* a, std::size_t lda, const double* b, double* c,
                    std::size_t ldc, bool accumulate) {
  constexpr std::uint32_t MR = kPortableRows;
  constexpr std::uint32_t V = kPortableCols / 2;
  __m128d acc[MR][V];
#pragma GCC unroll 8
  for (std::uint32_t r = 0; r < MR; ++r) {
#pragma GCC unroll 8
    for (std::uint32_t v = 0; v < V; ++v) {
      acc[r][v] = accumulate ? _mm_loadu_pd(c + r * ldc + 2 * v) : _mm_setzero_pd();
    }
  }
  for (std::uint32_t k = 0; k < kc; ++k) {
    __m128d bv[V];
#pragma GCC unroll 8
    for (std::uint32_t v = 0; v < V; ++v) bv[v] = _mm_load_pd(b + 2 * v);
    b += kPortableCols;
#pragma GCC unroll 8
    for (std::uint32_t r = 0; r < MR; ++r) {
      const __m128d av = _mm_set1_pd(*leftElement<Transposed>(a, lda, r, k));
#pragma GCC unroll 8
      for (std::uint32_t v = 0; v < V; ++v)
        acc[r][v] = _mm_add_pd(acc[r][v], _mm_mul_pd(av, bv[v]));
    }
  }
#pragma GCC unroll 8
  for (std::uint32_t r = 0; r < MR; ++r) {
#pragma GCC unroll 8
    for (std::uint32_t v = 0; v < V; ++v) _mm_storeu_pd(c + r * ldc + 2 * v, acc[r][v]);
  }
}

// AVX2 with FMA: 6 x 8 tile, 12 accumulators of four lanes.
constexpr std::uint32_t kAvx2Rows = 6;
constexpr std::uint32_t kAvx2Cols = 8;

template <bool Transposed>
__attribute__((target("avx2,fma"))) void avx2Kernel(std::uint32_t kc, const double* a,
                                                    std::size_t lda, const double* b, double* c,
                                                    std::size_t ldc, bool accumulate) {
  constexpr std::uint32_t MR = kAvx2Rows;
  constexpr std::uint32_t V = kAvx2Cols / 4;
  __m256d acc[MR][V];
#pragma GCC unroll 8
  for (std::uint32_t r = 0; r < MR; ++r) {
#pragma GCC unroll 8
    for (std::uint32_t v = 0; v < V; ++v) {
      acc[r][v] = accumulate ? _mm256_loadu_pd(c + r * ldc + 4 * v) : _mm256_setzero_pd();
    }
  }
  for (std::uint32_t k = 0; k < kc; ++k) {
    __m256d bv[V];
#pragma GCC unroll 8
    for (std::uint32_t v = 0; v < V; ++v) bv[v] = _mm256_load_pd(b + 4 * v);
    b += kAvx2Cols;
#pragma GCC unroll 8
    for (std::uint32_t r = 0; r < MR; ++r) {
      const __m256d av = _mm256_broadcast_sd(leftElement<Transposed>(a, lda, r, k));
#pragma GCC unroll 8
      for (std::uint32_t v = 0; v < V; ++v) acc[r][v] = _mm256_fmadd_pd(av, bv[v], acc[r][v]);
    }
  }
#pragma GCC unroll 8
  for (std::uint32_t r = 0; r < MR; ++r) {
#pragma GCC unroll 8
    for (std::uint32_t v = 0; v < V; ++v) _mm256_storeu_pd(c + r * ldc + 4 * v, acc[r][v]);
  }
}

// AVX-512: 8 x 24 tile, 24 accumulators of eight lanes; the broadcast of the
// left element folds into the multiply-add.
constexpr std::uint32_t kAvx512Rows = 8;
constexpr std::uint32_t kAvx512Cols = 24;
static_assert(kAvx512Rows * kAvx512Cols <= kMaxTileElements);

template <bool Transposed>
__attribute__((target("avx512f"))) void avx512Kernel(std::uint32_t kc, const double* a,
                                                     std::size_t lda, const double* b, double* c,
                                                     std::size_t ldc, bool accumulate) {
  constexpr std::uint32_t MR = kAvx512Rows;
  constexpr std::uint32_t V = kAvx512Cols / 8;
  __m512d acc[MR][V];
#pragma GCC unroll 8
  for (std::uint32_t r = 0; r < MR; ++r) {
#pragma GCC unroll 8
    for (std::uint32_t v = 0; v < V; ++v) {
      acc[r][v] = accumulate ? _mm512_loadu_pd(c + r * ldc + 8 * v) : _mm512_setzero_pd();
    }
  }
  for (std::uint32_t k = 0; k < kc; ++k) {
    __m512d bv[V];
#pragma GCC unroll 8
    for (std::uint32_t v = 0; v < V; ++v) bv[v] = _mm512_load_pd(b + 8 * v);
    b += kAvx512Cols;
#pragma GCC unroll 8
    for (std::uint32_t r = 0; r < MR; ++r) {
      const __m512d av = _mm512_set1_pd(*leftElement<Transposed>(a, lda, r, k));
#pragma GCC unroll 8
      for (std::uint32_t v = 0; v < V; ++v) acc[r][v] = _mm512_fmadd_pd(av, bv[v], acc[r][v]);
    }
  }
#pragma GCC unroll 8
  for (std::uint32_t r = 0; r < MR; ++r) {
#pragma GCC unroll 8
    for (std::uint32_t v = 0; v < V; ++v) _mm512_storeu_pd(c + r * ldc + 8 * v, acc[r][v]);
  }
}

}  // namespace

const KernelSet& portableKernels() {
  static const KernelSet set{"portable", kPortableRows, kPortableCols, &portableKernel<false>,
                             &portableKernel<true>};
  return set;
}

const KernelSet& avx2Kernels() {
  static const KernelSet set{"avx2", kAvx2Rows, kAvx2Cols, &avx2Kernel<false>, &avx2Kernel<true>};
  return set;
}

const KernelSet& avx512Kernels() {
  static const KernelSet set{"avx512", kAvx512Rows, kAvx512Cols, &avx512Kernel<false>,
                             &avx512Kernel<true>};
  return set;
}

}  // namespace KPX::product
