#include "numeric/ica_pass_single.h"

#include <immintrin.h>

#include <algorithm>
#include <utility>

#include "numeric/cpu_features.h"
#include "numeric/parallel.h"
#include "numeric/tile_rows.h"
#include "numeric/vector_tanh.h"

namespace KPX {
namespace {

constexpr std::uint32_t kWidth = kIcaSingleTileComponents;
// Rows a tile call takes: twelve 512-bit accumulators keep both AVX-512
// multiply-add units busy; the AVX2 tile takes them six at a time.
constexpr std::uint32_t kMaxTileRows = 12;
constexpr std::uint32_t kAvx2TileRows = 6;
// Rows of Z whose projections, tangents and products stay in the cache; also
// how many terms a single-precision chain adds before the sums go on in
// double precision.
constexpr std::uint32_t kBlockRows = 480;

// 6 x 16 tile: 12 accumulators of eight lanes, two loads of b and one
// broadcast of a per row and step.
template <std::uint32_t M>
__attribute__((target("avx2,fma"))) void tileAvx2(std::uint32_t kc, const float* a,
                                                  std::size_t aRow, std::size_t aStep,
                                                  const float* b, float* c, bool accumulate) {
  __m256 acc[M][2];
#pragma GCC unroll 8
  for (std::uint32_t r = 0; r < M; ++r) {
    acc[r][0] = accumulate ? _mm256_loadu_ps(c + r * kWidth) : _mm256_setzero_ps();
    acc[r][1] = accumulate ? _mm256_loadu_ps(c + r * kWidth + 8) : _mm256_setzero_ps();
  }
  for (std::uint32_t p = 0; p < kc; ++p) {
    const __m256 b0 = _mm256_loadu_ps(b + static_cast<std::size_t>(p) * kWidth);
    const __m256 b1 = _mm256_loadu_ps(b + static_cast<std::size_t>(p) * kWidth + 8);
    const float* ap = a + static_cast<std::size_t>(p) * aStep;
#pragma GCC unroll 8
    for (std::uint32_t r = 0; r < M; ++r) {
      const __m256 av = _mm256_broadcast_ss(ap + r * aRow);
      acc[r][0] = _mm256_fmadd_ps(av, b0, acc[r][0]);
      acc[r][1] = _mm256_fmadd_ps(av, b1, acc[r][1]);
    }
  }
#pragma GCC unroll 8
  for (std::uint32_t r = 0; r < M; ++r) {
    _mm256_storeu_ps(c + r * kWidth, acc[r][0]);
    _mm256_storeu_ps(c + r * kWidth + 8, acc[r][1]);
  }
}

// The same tile with one 512-bit register a row: the same chains, so the
// same results as the AVX2 tile.
template <std::uint32_t M>
__attribute__((target("avx512f"))) void tileAvx512(std::uint32_t kc, const float* a,
                                                   std::size_t aRow, std::size_t aStep,
                                                   const float* b, float* c, bool accumulate) {
  __m512 acc[M];
#pragma GCC unroll 12
  for (std::uint32_t r = 0; r < M; ++r)
    acc[r] = accumulate ? _mm512_loadu_ps(c + r * kWidth) : _mm512_setzero_ps();
  for (std::uint32_t p = 0; p < kc; ++p) {
    const __m512 bv = _mm512_loadu_ps(b + static_cast<std::size_t>(p) * kWidth);
    const float* ap = a + static_cast<std::size_t>(p) * aStep;
#pragma GCC unroll 12
    for (std::uint32_t r = 0; r < M; ++r)
      acc[r] = _mm512_fmadd_ps(_mm512_set1_ps(ap[r * aRow]), bv, acc[r]);
  }
#pragma GCC unroll 12
  for (std::uint32_t r = 0; r < M; ++r) _mm512_storeu_ps(c + r * kWidth, acc[r]);
}

// Baseline x86-64 has no fused multiply-add: product and sum round apart.
void tilePortable(std::uint32_t m, std::uint32_t kc, const float* a, std::size_t aRow,
                  std::size_t aStep, const float* b, float* c, bool accumulate) {
  float acc[kMaxTileRows][kWidth] = {};
  if (accumulate) {
    for (std::uint32_t r = 0; r < m; ++r) std::copy(c + r * kWidth, c + (r + 1) * kWidth, acc[r]);
  }
  for (std::uint32_t p = 0; p < kc; ++p) {
    const float* bp = b + static_cast<std::size_t>(p) * kWidth;
    for (std::uint32_t r = 0; r < m; ++r) {
      const float av = a[static_cast<std::size_t>(p) * aStep + r * aRow];
      for (std::uint32_t q = 0; q < kWidth; ++q) acc[r][q] += av * bp[q];
    }
  }
  for (std::uint32_t r = 0; r < m; ++r) std::copy(acc[r], acc[r] + kWidth, c + r * kWidth);
}

// The derivative sums of a block, each component's chain in row order,
// started from 0.
void blockDerivatives(const float* t, std::uint32_t rows, float* sums) {
  std::fill(sums, sums + kWidth, 0.0f);
  for (std::uint32_t r = 0; r < rows; ++r) {
    const float* row = t + static_cast<std::size_t>(r) * kWidth;
    for (std::uint32_t q = 0; q < kWidth; ++q) sums[q] += (1.0f - row[q]) * (1.0f + row[q]);
  }
}

// 1 - t^2 rounded once (a fused multiply-add), then added: the same
// operations in both vector versions, whatever the compiler contracts.
__attribute__((target("avx2,fma"))) void blockDerivativesAvx2(const float* t, std::uint32_t rows,
                                                              float* sums) {
  const __m256 one = _mm256_set1_ps(1.0f);
  __m256 acc0 = _mm256_setzero_ps();
  __m256 acc1 = _mm256_setzero_ps();
  for (std::uint32_t r = 0; r < rows; ++r) {
    const __m256 x0 = _mm256_loadu_ps(t + static_cast<std::size_t>(r) * kWidth);
    const __m256 x1 = _mm256_loadu_ps(t + static_cast<std::size_t>(r) * kWidth + 8);
    acc0 = _mm256_add_ps(acc0, _mm256_fnmadd_ps(x0, x0, one));
    acc1 = _mm256_add_ps(acc1, _mm256_fnmadd_ps(x1, x1, one));
  }
  _mm256_storeu_ps(sums, acc0);
  _mm256_storeu_ps(sums + 8, acc1);
}

__attribute__((target("avx512f"))) void blockDerivativesAvx512(const float* t, std::uint32_t rows,
                                                               float* sums) {
  const __m512 one = _mm512_set1_ps(1.0f);
  __m512 acc = _mm512_setzero_ps();
  for (std::uint32_t r = 0; r < rows; ++r) {
    const __m512 x = _mm512_loadu_ps(t + static_cast<std::size_t>(r) * kWidth);
    acc = _mm512_add_ps(acc, _mm512_fnmadd_ps(x, x, one));
  }
  _mm512_storeu_ps(sums, acc);
}

struct Avx2Tiles {
  using Element = float;
  static constexpr std::uint32_t kRows = kAvx2TileRows;
  static constexpr std::uint32_t kColumns = kWidth;
  template <std::uint32_t M>
  static constexpr FixedTile<float> kTile = &tileAvx2<M>;
};

struct Avx512Tiles {
  using Element = float;
  static constexpr std::uint32_t kRows = kMaxTileRows;
  static constexpr std::uint32_t kColumns = kWidth;
  template <std::uint32_t M>
  static constexpr FixedTile<float> kTile = &tileAvx512<M>;
};

// The versions of each kernel by vector level (numeric/cpu_features.h).
using TileKernel = void (*)(std::uint32_t m, std::uint32_t kc, const float* a, std::size_t aRow,
                            std::size_t aStep, const float* b, float* c, bool accumulate);
const LevelKernel<TileKernel> kTile{tilePortable, tileRows<Avx2Tiles>, tileRows<Avx512Tiles>};
using DerivativeKernel = void (*)(const float* t, std::uint32_t rows, float* sums);
const LevelKernel<DerivativeKernel> kDerivatives{blockDerivatives, blockDerivativesAvx2,
                                                 blockDerivativesAvx512};

}  // namespace

void icaTileSingle(std::uint32_t m, std::uint32_t kc, const float* a, std::size_t aRow,
                   std::size_t aStep, const float* b, float* c, bool accumulate) {
  kTile.current()(m, kc, a, aRow, aStep, b, c, accumulate);
}

Matrix<float> toSingle(const Matrix<double>& z) {
  Matrix<float> single(z.rows(), z.cols());
  for (std::uint32_t i = 0; i < z.count(); ++i) single.data()[i] = static_cast<float>(z.data()[i]);
  return single;
}

void icaSumsSingle(const Matrix<float>& z, const Matrix<double>& w, Matrix<double>& u,
                   std::vector<double>& derivative) {
  const std::uint32_t n = z.rows();
  const std::uint32_t k = z.cols();
  const std::size_t ld = k;
  const std::uint32_t tiles = (k + kWidth - 1) / kWidth;
  const VectorLevel level = vectorLevel();
  const TileKernel tile = kTile.at(level);
  const DerivativeKernel derivativesOf = kDerivatives.at(level);
  Matrix<double> sums(k, k);
  std::vector<double> derivativeSums(k, 0.0);
  // Each thread takes whole tiles of components and walks all the blocks: a
  // component's sums never depend on which thread ran it.
  parallelFor(tiles, 1, [&](std::uint64_t first, std::uint64_t end) {
    const std::size_t count = static_cast<std::size_t>(end - first);
    const std::size_t panelSize = static_cast<std::size_t>(k) * kWidth;
    // Per tile: W's rows transposed (k x 16, zero past the last component),
    // U^T (k x 16) and the derivatives, both in double.
    std::vector<float> panels(count * panelSize, 0.0f);
    std::vector<double> ut(count * panelSize, 0.0);
    std::vector<double> dsum(count * kWidth, 0.0);
    std::vector<float> y(static_cast<std::size_t>(kBlockRows) * kWidth);
    std::vector<float> blockUt(panelSize);
    float blockD[kWidth];
    for (std::size_t t = 0; t < count; ++t) {
      const std::uint32_t i0 = static_cast<std::uint32_t>(first + t) * kWidth;
      for (std::uint32_t q = 0; q < kWidth && i0 + q < k; ++q) {
        for (std::uint32_t p = 0; p < k; ++p)
          panels[(t * k + p) * kWidth + q] = static_cast<float>(w[i0 + q][p]);
      }
    }
    for (std::uint32_t b = 0; b < n; b += kBlockRows) {
      const std::uint32_t rows = std::min(kBlockRows, n - b);
      const float* zb = z[b];
      for (std::size_t t = 0; t < count; ++t) {
        const float* panel = panels.data() + t * panelSize;
        for (std::uint32_t r = 0; r < rows; r += kMaxTileRows)
          tile(std::min(kMaxTileRows, rows - r), k, zb + r * ld, ld, 1, panel,
               y.data() + static_cast<std::size_t>(r) * kWidth, false);
        tanhInPlace(y.data(), static_cast<std::size_t>(rows) * kWidth);
        derivativesOf(y.data(), rows, blockD);
        double* d = dsum.data() + t * kWidth;
        for (std::uint32_t q = 0; q < kWidth; ++q) d[q] += blockD[q];
        for (std::uint32_t j = 0; j < k; j += kMaxTileRows)
          tile(std::min(kMaxTileRows, k - j), rows, zb + j, 1, ld, y.data(),
               blockUt.data() + static_cast<std::size_t>(j) * kWidth, false);
        double* out = ut.data() + t * panelSize;
        for (std::size_t e = 0; e < panelSize; ++e) out[e] += blockUt[e];
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
