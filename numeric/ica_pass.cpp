#include "numeric/ica_pass.h"

#include <immintrin.h>

#include <algorithm>
#include <utility>

#include "numeric/cpu_features.h"
#include "numeric/parallel.h"
#include "numeric/tile_rows.h"
#include "numeric/vector_tanh.h"

namespace KPX {
namespace {

constexpr std::uint32_t kWidth = kIcaTileComponents;
// Rows a tile call takes: twelve 512-bit accumulators keep both AVX-512
// multiply-add units busy; the AVX2 tile takes them six at a time.
constexpr std::uint32_t kMaxTileRows = 12;
constexpr std::uint32_t kAvx2TileRows = 6;
// Rows of Z whose projections, tangents and products stay in the cache.
constexpr std::uint32_t kBlockRows = 240;

// 6 x 8 tile: 12 accumulators of four lanes, two loads of b and one broadcast
// of a per row and step.
template <std::uint32_t M>
__attribute__((target("avx2,fma"))) void tileAvx2(std::uint32_t kc, const double* a,
                                                  std::size_t aRow, std::size_t aStep,
                                                  const double* b, double* c, bool accumulate) {
  __m256d acc[M][2];
#pragma GCC unroll 8
  for (std::uint32_t r = 0; r < M; ++r) {
    acc[r][0] = accumulate ? _mm256_loadu_pd(c + r * kWidth) : _mm256_setzero_pd();
    acc[r][1] = accumulate ? _mm256_loadu_pd(c + r * kWidth + 4) : _mm256_setzero_pd();
  }
  for (std::uint32_t p = 0; p < kc; ++p) {
    const __m256d b0 = _mm256_loadu_pd(b + static_cast<std::size_t>(p) * kWidth);
    const __m256d b1 = _mm256_loadu_pd(b + static_cast<std::size_t>(p) * kWidth + 4);
    const double* ap = a + static_cast<std::size_t>(p) * aStep;
#pragma GCC unroll 8
    for (std::uint32_t r = 0; r < M; ++r) {
      const __m256d av = _mm256_broadcast_sd(ap + r * aRow);
      acc[r][0] = _mm256_fmadd_pd(av, b0, acc[r][0]);
      acc[r][1] = _mm256_fmadd_pd(av, b1, acc[r][1]);
    }
  }
#pragma GCC unroll 8
  for (std::uint32_t r = 0; r < M; ++r) {
    _mm256_storeu_pd(c + r * kWidth, acc[r][0]);
    _mm256_storeu_pd(c + r * kWidth + 4, acc[r][1]);
  }
}

// The same tile with one 512-bit register a row: the same chains, so the
// same results as the AVX2 tile.
template <std::uint32_t M>
__attribute__((target("avx512f"))) void tileAvx512(std::uint32_t kc, const double* a,
                                                   std::size_t aRow, std::size_t aStep,
                                                   const double* b, double* c, bool accumulate) {
  __m512d acc[M];
#pragma GCC unroll 12
  for (std::uint32_t r = 0; r < M; ++r)
    acc[r] = accumulate ? _mm512_loadu_pd(c + r * kWidth) : _mm512_setzero_pd();
  for (std::uint32_t p = 0; p < kc; ++p) {
    const __m512d bv = _mm512_loadu_pd(b + static_cast<std::size_t>(p) * kWidth);
    const double* ap = a + static_cast<std::size_t>(p) * aStep;
#pragma GCC unroll 12
    for (std::uint32_t r = 0; r < M; ++r)
      acc[r] = _mm512_fmadd_pd(_mm512_set1_pd(ap[r * aRow]), bv, acc[r]);
  }
#pragma GCC unroll 12
  for (std::uint32_t r = 0; r < M; ++r) _mm512_storeu_pd(c + r * kWidth, acc[r]);
}

// Baseline x86-64 has no fused multiply-add: product and sum round apart.
void tilePortable(std::uint32_t m, std::uint32_t kc, const double* a, std::size_t aRow,
                  std::size_t aStep, const double* b, double* c, bool accumulate) {
  double acc[kMaxTileRows][kWidth] = {};
  if (accumulate) {
    for (std::uint32_t r = 0; r < m; ++r) std::copy(c + r * kWidth, c + (r + 1) * kWidth, acc[r]);
  }
  for (std::uint32_t p = 0; p < kc; ++p) {
    const double* bp = b + static_cast<std::size_t>(p) * kWidth;
    for (std::uint32_t r = 0; r < m; ++r) {
      const double av = a[static_cast<std::size_t>(p) * aStep + r * aRow];
      for (std::uint32_t q = 0; q < kWidth; ++q) acc[r][q] += av * bp[q];
    }
  }
  for (std::uint32_t r = 0; r < m; ++r) std::copy(acc[r], acc[r] + kWidth, c + r * kWidth);
}

// The derivative sums of a block, each component's chain in row order.
void addDerivatives(const double* t, std::uint32_t rows, double* sums) {
  for (std::uint32_t r = 0; r < rows; ++r) {
    const double* row = t + static_cast<std::size_t>(r) * kWidth;
    for (std::uint32_t q = 0; q < kWidth; ++q) sums[q] += (1.0 - row[q]) * (1.0 + row[q]);
  }
}

// The same four lanes at a time: the same operations on every element.
__attribute__((target("avx2"))) void addDerivativesAvx2(const double* t, std::uint32_t rows,
                                                        double* sums) {
  const __m256d one = _mm256_set1_pd(1.0);
  __m256d acc0 = _mm256_loadu_pd(sums);
  __m256d acc1 = _mm256_loadu_pd(sums + 4);
  for (std::uint32_t r = 0; r < rows; ++r) {
    const __m256d x0 = _mm256_loadu_pd(t + static_cast<std::size_t>(r) * kWidth);
    const __m256d x1 = _mm256_loadu_pd(t + static_cast<std::size_t>(r) * kWidth + 4);
    acc0 = _mm256_add_pd(acc0, _mm256_mul_pd(_mm256_sub_pd(one, x0), _mm256_add_pd(one, x0)));
    acc1 = _mm256_add_pd(acc1, _mm256_mul_pd(_mm256_sub_pd(one, x1), _mm256_add_pd(one, x1)));
  }
  _mm256_storeu_pd(sums, acc0);
  _mm256_storeu_pd(sums + 4, acc1);
}

struct Avx2Tiles {
  using Element = double;
  static constexpr std::uint32_t kRows = kAvx2TileRows;
  static constexpr std::uint32_t kColumns = kWidth;
  template <std::uint32_t M>
  static constexpr FixedTile<double> kTile = &tileAvx2<M>;
};

struct Avx512Tiles {
  using Element = double;
  static constexpr std::uint32_t kRows = kMaxTileRows;
  static constexpr std::uint32_t kColumns = kWidth;
  template <std::uint32_t M>
  static constexpr FixedTile<double> kTile = &tileAvx512<M>;
};

// The versions of each kernel by vector level (numeric/cpu_features.h).
using TileKernel = void (*)(std::uint32_t m, std::uint32_t kc, const double* a, std::size_t aRow,
                            std::size_t aStep, const double* b, double* c, bool accumulate);
const LevelKernel<TileKernel> kTile{tilePortable, tileRows<Avx2Tiles>, tileRows<Avx512Tiles>};
using DerivativeKernel = void (*)(const double* t, std::uint32_t rows, double* sums);
const LevelKernel<DerivativeKernel> kDerivatives{addDerivatives, addDerivativesAvx2};

}  // namespace

void icaTile(std::uint32_t m, std::uint32_t kc, const double* a, std::size_t aRow,
             std::size_t aStep, const double* b, double* c, bool accumulate) {
  kTile.current()(m, kc, a, aRow, aStep, b, c, accumulate);
}

void icaSums(const Matrix<double>& z, const Matrix<double>& w, Matrix<double>& u,
             std::vector<double>& derivative) {
  const std::uint32_t n = z.rows();
  const std::uint32_t k = z.cols();
  const std::size_t ld = k;
  const std::uint32_t tiles = (k + kWidth - 1) / kWidth;
  const VectorLevel level = vectorLevel();
  const TileKernel tile = kTile.at(level);
  const DerivativeKernel addDerivativeSums = kDerivatives.at(level);
  Matrix<double> sums(k, k);
  std::vector<double> derivativeSums(k, 0.0);
  // Each thread takes whole tiles of components and walks all the blocks: a
  // component's sums never depend on which thread ran it.
  parallelFor(tiles, 1, [&](std::uint64_t first, std::uint64_t end) {
    const std::size_t count = static_cast<std::size_t>(end - first);
    // Per tile: W's rows transposed (k x 8, zero past the last component),
    // U^T (k x 8) and the derivatives.
    std::vector<double> panels(count * k * kWidth, 0.0);
    std::vector<double> ut(count * k * kWidth, 0.0);
    std::vector<double> dsum(count * kWidth, 0.0);
    std::vector<double> y(static_cast<std::size_t>(kBlockRows) * kWidth);
    for (std::size_t t = 0; t < count; ++t) {
      const std::uint32_t i0 = static_cast<std::uint32_t>(first + t) * kWidth;
      for (std::uint32_t q = 0; q < kWidth && i0 + q < k; ++q) {
        for (std::uint32_t p = 0; p < k; ++p) panels[(t * k + p) * kWidth + q] = w[i0 + q][p];
      }
    }
    for (std::uint32_t b = 0; b < n; b += kBlockRows) {
      const std::uint32_t rows = std::min(kBlockRows, n - b);
      const double* zb = z[b];
      for (std::size_t t = 0; t < count; ++t) {
        const double* panel = panels.data() + t * k * kWidth;
        for (std::uint32_t r = 0; r < rows; r += kMaxTileRows)
          tile(std::min(kMaxTileRows, rows - r), k, zb + r * ld, ld, 1, panel,
               y.data() + static_cast<std::size_t>(r) * kWidth, false);
        tanhInPlace(y.data(), static_cast<std::size_t>(rows) * kWidth);
        addDerivativeSums(y.data(), rows, dsum.data() + t * kWidth);
        double* out = ut.data() + t * k * kWidth;
        for (std::uint32_t j = 0; j < k; j += kMaxTileRows)
          tile(std::min(kMaxTileRows, k - j), rows, zb + j, 1, ld, y.data(),
               out + static_cast<std::size_t>(j) * kWidth, b > 0);
      }
    }
    for (std::size_t t = 0; t < count; ++t) {
      const std::uint32_t i0 = static_cast<std::uint32_t>(first + t) * kWidth;
      for (std::uint32_t q = 0; q < kWidth && i0 + q < k; ++q) {
        derivativeSums[i0 + q] = dsum[t * kWidth + q];
        for (std::uint32_t j = 0; j < k; ++j) sums[i0 + q][j] = ut[(t * k + j) * kWidth + q];
      }
    }
  });
  u = std::move(sums);
  derivative = std::move(derivativeSums);
}

}  // namespace KPX
