#include "numeric/ica_pass.h"

#include <immintrin.h>

#include <algorithm>

#include "numeric/parallel.h"
#include "numeric/tanh_float.h"

namespace KPX {
namespace {

constexpr std::uint32_t kWidth = IcaPass::kTileComponents;
constexpr std::uint32_t kMaxTileRows = 6;

// 6 x 16 tile: 12 accumulators of eight lanes, two loads of b and one
// broadcast of a per row and step.
template <std::uint32_t M>
__attribute__((target("avx2,fma"))) void tileAvx2(std::uint32_t kc, const float* a,
                                                  std::size_t aRow, std::size_t aStep,
                                                  const float* b, float* c) {
  __m256 acc[M][2];
#pragma GCC unroll 8
  for (std::uint32_t r = 0; r < M; ++r) acc[r][0] = acc[r][1] = _mm256_setzero_ps();
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

// Baseline x86-64 has no fused multiply-add: product and sum round apart.
void tilePortable(std::uint32_t m, std::uint32_t kc, const float* a, std::size_t aRow,
                  std::size_t aStep, const float* b, float* c) {
  float acc[kMaxTileRows][kWidth] = {};
  for (std::uint32_t p = 0; p < kc; ++p) {
    const float* bp = b + static_cast<std::size_t>(p) * kWidth;
    for (std::uint32_t r = 0; r < m; ++r) {
      const float av = a[static_cast<std::size_t>(p) * aStep + r * aRow];
      for (std::uint32_t q = 0; q < kWidth; ++q) acc[r][q] += av * bp[q];
    }
  }
  for (std::uint32_t r = 0; r < m; ++r) std::copy(acc[r], acc[r] + kWidth, c + r * kWidth);
}

// The derivative sums of one block, each component's chain in row order.
void addDerivatives(const float* t, std::uint32_t rows, double* sums) {
  for (std::uint32_t r = 0; r < rows; ++r) {
    const float* row = t + static_cast<std::size_t>(r) * kWidth;
    for (std::uint32_t q = 0; q < kWidth; ++q) {
      const double v = row[q];
      sums[q] += (1.0 - v) * (1.0 + v);
    }
  }
}

}  // namespace

IcaPass::IcaPass(const Matrix<double>& whitened)
    : n_(whitened.rows()), k_(whitened.cols()), ld_(whitened.cols()) {
  const std::size_t blocks = (static_cast<std::size_t>(n_) + kBlockRows - 1) / kBlockRows;
  z_.assign(blocks * kBlockRows * ld_, 0.0f);
  for (std::uint32_t r = 0; r < n_; ++r) {
    const double* row = whitened[r];
    float* out = z_.data() + static_cast<std::size_t>(r) * ld_;
    for (std::uint32_t j = 0; j < k_; ++j) out[j] = static_cast<float>(row[j]);
  }
}

void IcaPass::tile(std::uint32_t m, std::uint32_t kc, const float* a, std::size_t aRow,
                   std::size_t aStep, const float* b, float* c, bool vectorise) {
  if (!(vectorise && tanhFloatsVectorised())) {
    tilePortable(m, kc, a, aRow, aStep, b, c);
    return;
  }
  switch (m) {
    case 1:
      tileAvx2<1>(kc, a, aRow, aStep, b, c);
      break;
    case 2:
      tileAvx2<2>(kc, a, aRow, aStep, b, c);
      break;
    case 3:
      tileAvx2<3>(kc, a, aRow, aStep, b, c);
      break;
    case 4:
      tileAvx2<4>(kc, a, aRow, aStep, b, c);
      break;
    case 5:
      tileAvx2<5>(kc, a, aRow, aStep, b, c);
      break;
    default:
      tileAvx2<6>(kc, a, aRow, aStep, b, c);
      break;
  }
}

void IcaPass::run(const Matrix<double>& w, Matrix<double>& u, std::vector<double>& derivative,
                  bool vectorise) const {
  const std::uint32_t k = k_;
  const std::uint32_t tiles = (k + kWidth - 1) / kWidth;
  const std::size_t blocks = (static_cast<std::size_t>(n_) + kBlockRows - 1) / kBlockRows;
  Matrix<double> sums(k, k);
  std::vector<double> derivativeSums(k, 0.0);
  // Each thread takes whole tiles of components and walks all the blocks: a
  // component's sums never depend on which thread ran it.
  parallelFor(tiles, 1, [&](std::uint64_t first, std::uint64_t end) {
    const std::size_t count = static_cast<std::size_t>(end - first);
    // Per tile: W's rows transposed (k x 16), U^T (k x 16), the derivatives.
    std::vector<float> panels(count * k * kWidth, 0.0f);
    std::vector<double> ut(count * k * kWidth, 0.0);
    std::vector<double> dsum(count * kWidth, 0.0);
    std::vector<float> y(static_cast<std::size_t>(kBlockRows) * kWidth);
    float partial[kMaxTileRows * kWidth];
    for (std::size_t t = 0; t < count; ++t) {
      const std::uint32_t i0 = static_cast<std::uint32_t>(first + t) * kWidth;
      for (std::uint32_t q = 0; q < kWidth && i0 + q < k; ++q) {
        for (std::uint32_t p = 0; p < k; ++p)
          panels[(t * k + p) * kWidth + q] = static_cast<float>(w[i0 + q][p]);
      }
    }
    for (std::size_t b = 0; b < blocks; ++b) {
      const float* zb = z_.data() + b * kBlockRows * ld_;
      const std::uint32_t realRows =
          static_cast<std::uint32_t>(std::min<std::size_t>(kBlockRows, n_ - b * kBlockRows));
      for (std::size_t t = 0; t < count; ++t) {
        const float* panel = panels.data() + t * k * kWidth;
        for (std::uint32_t r = 0; r < kBlockRows; r += kMaxTileRows)
          tile(kMaxTileRows, k, zb + static_cast<std::size_t>(r) * ld_, ld_, 1, panel,
               y.data() + static_cast<std::size_t>(r) * kWidth, vectorise);
        tanhFloats(y.data(), y.size(), vectorise);
        addDerivatives(y.data(), realRows, dsum.data() + t * kWidth);
        double* out = ut.data() + t * k * kWidth;
        for (std::uint32_t j = 0; j < k; j += kMaxTileRows) {
          const std::uint32_t m = std::min(kMaxTileRows, k - j);
          tile(m, kBlockRows, zb + j, 1, ld_, y.data(), partial, vectorise);
          for (std::uint32_t e = 0; e < m * kWidth; ++e) out[j * kWidth + e] += partial[e];
        }
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
