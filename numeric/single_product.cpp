#include "numeric/single_product.h"

#include <algorithm>
#include <cmath>

#include "numeric/cpu_features.h"
#include "numeric/parallel.h"

namespace KPX {
namespace {

// Columns of b are padded to whole 16-float vectors (the widest level's).
constexpr std::uint32_t kColumnAlign = 16;
// Rows converted to single precision at a time: with n = 192 about 48 KB.
constexpr std::uint32_t kRowsPerBlock = 64;

// One R x W tile of the product over the whole inner index, written to c as
// doubles (only the first `width` of its W columns). Written as plain loops
// over fixed-size arrays: inlined into each level's function below, the
// compiler keeps the accumulators in that level's vector registers.
template <std::uint32_t R, std::uint32_t W, bool Fused>
[[gnu::always_inline]] inline void tile(const float* a, std::uint32_t n, const float* b,
                                        std::uint32_t ldb, std::uint32_t width, double* c,
                                        std::size_t ldc) {
  float acc[R][W] = {};
  for (std::uint32_t k = 0; k < n; ++k) {
    const float* bk = b + static_cast<std::size_t>(k) * ldb;
#pragma GCC unroll 8
    for (std::uint32_t r = 0; r < R; ++r) {
      const float ar = a[static_cast<std::size_t>(r) * n + k];
#pragma GCC unroll 64
      for (std::uint32_t j = 0; j < W; ++j) {
        if constexpr (Fused)
          acc[r][j] = std::fma(ar, bk[j], acc[r][j]);
        else
          acc[r][j] = acc[r][j] + ar * bk[j];
      }
    }
  }
  for (std::uint32_t r = 0; r < R; ++r)
    for (std::uint32_t j = 0; j < width; ++j) c[r * ldc + j] = static_cast<double>(acc[r][j]);
}

// R rows of a times b over `cols` padded columns (`width` of them real):
// tiles of W columns, then narrower ones down to one vector for the rest.
template <std::uint32_t R, std::uint32_t W, bool Fused>
[[gnu::always_inline]] inline void rowGroup(const float* a, std::uint32_t n, const float* b,
                                            std::uint32_t ldb, std::uint32_t cols,
                                            std::uint32_t width, double* c, std::size_t ldc) {
  std::uint32_t col = 0;
  for (; col + W <= cols; col += W)
    tile<R, W, Fused>(a, n, b + col, ldb, std::min(W, width - std::min(width, col)), c + col, ldc);
  if constexpr (W > kColumnAlign) {
    if (col < cols)
      rowGroup<R, W / 2, Fused>(a, n, b + col, ldb, cols - col, width - std::min(width, col),
                                c + col, ldc);
  }
}

// count rows of a (row stride n) times b (n x ldb, p columns real) into c
// (row stride p): groups of R rows, then the rest one by one.
template <std::uint32_t R, std::uint32_t W, bool Fused>
[[gnu::always_inline]] inline void rows(const float* a, std::uint32_t count, std::uint32_t n,
                                        const float* b, std::uint32_t ldb, std::uint32_t p,
                                        double* c) {
  std::uint32_t r = 0;
  for (; r + R <= count; r += R)
    rowGroup<R, W, Fused>(a + static_cast<std::size_t>(r) * n, n, b, ldb, ldb, p,
                          c + static_cast<std::size_t>(r) * p, p);
  for (; r < count; ++r)
    rowGroup<1, W, Fused>(a + static_cast<std::size_t>(r) * n, n, b, ldb, ldb, p,
                          c + static_cast<std::size_t>(r) * p, p);
}

using RowsFn = void (*)(const float* a, std::uint32_t count, std::uint32_t n, const float* b,
                        std::uint32_t ldb, std::uint32_t p, double* c);

// Baseline x86-64: four-lane vectors, product and sum rounded apart.
void rowsPortable(const float* a, std::uint32_t count, std::uint32_t n, const float* b,
                  std::uint32_t ldb, std::uint32_t p, double* c) {
  rows<4, 16, false>(a, count, n, b, ldb, p, c);
}

// AVX2: 4 x 16 tiles, eight accumulators of eight lanes.
__attribute__((target("avx2,fma"))) void rowsAvx2(const float* a, std::uint32_t count,
                                                  std::uint32_t n, const float* b,
                                                  std::uint32_t ldb, std::uint32_t p, double* c) {
  rows<4, 16, true>(a, count, n, b, ldb, p, c);
}

// AVX-512: 4 x 64 tiles, sixteen accumulators of sixteen lanes.
__attribute__((target("avx512f"))) void rowsAvx512(const float* a, std::uint32_t count,
                                                   std::uint32_t n, const float* b,
                                                   std::uint32_t ldb, std::uint32_t p, double* c) {
  rows<4, 64, true>(a, count, n, b, ldb, p, c);
}

const LevelKernel<RowsFn> kRows{rowsPortable, rowsAvx2, rowsAvx512};

}  // namespace

SingleProduct::SingleProduct(const Matrix<double>& b)
    : n_(b.rows()),
      p_(b.cols()),
      stride_((b.cols() + kColumnAlign - 1) / kColumnAlign * kColumnAlign),
      b_(static_cast<std::size_t>(n_) * stride_, 0.0f) {
  for (std::uint32_t k = 0; k < n_; ++k)
    for (std::uint32_t j = 0; j < p_; ++j)
      b_[static_cast<std::size_t>(k) * stride_ + j] = static_cast<float>(b[k][j]);
}

void SingleProduct::multiplyRows(const double* a, std::size_t lda, std::uint32_t rows,
                                 double* c) const {
  if (rows == 0 || p_ == 0) return;
  const RowsFn kernel = kRows.current();
  parallelFor(rows, kRowsPerBlock, [&](std::uint64_t begin, std::uint64_t end) {
    std::vector<float> block(static_cast<std::size_t>(kRowsPerBlock) * n_);
    for (std::uint64_t first = begin; first < end; first += kRowsPerBlock) {
      const auto count =
          static_cast<std::uint32_t>(std::min<std::uint64_t>(kRowsPerBlock, end - first));
      for (std::uint32_t r = 0; r < count; ++r) {
        const double* row = a + (first + r) * lda;
        float* out = block.data() + static_cast<std::size_t>(r) * n_;
        for (std::uint32_t k = 0; k < n_; ++k) out[k] = static_cast<float>(row[k]);
      }
      kernel(block.data(), count, n_, b_.data(), stride_, p_, c + first * p_);
    }
  });
}

}  // namespace KPX
