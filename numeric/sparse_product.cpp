#include "numeric/sparse_product.h"

#include <immintrin.h>

#include "numeric/multiply.h"

namespace KPX {
namespace {

// c[j] = c[j] + x * b[j] with one rounding (fused), as the AVX kernels do.
__attribute__((target("avx2,fma"))) void fusedAxpy(double x, const double* b, double* c,
                                                   std::uint32_t n) {
  const __m256d xv = _mm256_set1_pd(x);
  std::uint32_t j = 0;
  for (; j + 4 <= n; j += 4) {
    _mm256_storeu_pd(c + j, _mm256_fmadd_pd(xv, _mm256_loadu_pd(b + j), _mm256_loadu_pd(c + j)));
  }
  for (; j < n; ++j) {
    const __m128d r = _mm_fmadd_sd(_mm_set_sd(x), _mm_set_sd(b[j]), _mm_set_sd(c[j]));
    c[j] = _mm_cvtsd_f64(r);
  }
}

// Product and sum rounded separately, as the portable kernel does.
void separateAxpy(double x, const double* b, double* c, std::uint32_t n) {
  for (std::uint32_t j = 0; j < n; ++j) {
    const double product = x * b[j];
    c[j] = c[j] + product;
  }
}

}  // namespace

void multiplySparseStrip(const double* a, std::size_t lda, std::uint32_t rows,
                         const Matrix<double>& b, double* c) {
  const std::uint32_t inner = b.rows();
  const std::uint32_t p = b.cols();
  const bool fused = activeProductKernel() != ProductKernel::Portable;
  for (std::uint32_t r = 0; r < rows; ++r) {
    const double* left = a + r * lda;
    double* out = c + static_cast<std::size_t>(r) * p;
    fill(out, 0.0, p);
    for (std::uint32_t k = 0; k < inner; ++k) {
      const double x = left[k];
      if (x == 0.0) continue;
      if (fused) {
        fusedAxpy(x, b[k], out, p);
      } else {
        separateAxpy(x, b[k], out, p);
      }
    }
  }
}

}  // namespace KPX
