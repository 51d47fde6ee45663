#include "numeric/pair_gram.h"

#include <immintrin.h>

#include <algorithm>

#include "numeric/cpu_features.h"

namespace KPX {
namespace {

// One step adds at most 2 * 255 * 255 to a 32-bit sum: 16384 steps stay
// below 2^31 (2.13e9).
constexpr std::uint32_t kMaxPendingPairs = 16384;
// Packed rows taken at a time: about 24 KB, so that they stay in the level-1
// cache while every tile of the triangle reads them.
constexpr std::uint32_t kChunkBytes = 24576;
// Four rows by eight columns: vpmaddwd, at two cycles a vector, is then the
// bottleneck (taller or wider tiles measured no faster).
constexpr std::uint32_t kTileRows = 4;
constexpr std::uint32_t kTileVectors = 1;
constexpr std::uint32_t kTileCols = 8 * kTileVectors;
// The AVX-512 tile: four rows by sixteen columns, one vpmaddwd of 512 bits a
// row and packed row.
constexpr std::uint32_t kWideTileCols = 16;
// Rows are padded for the widest tile, whatever the level, so that packed
// data fits every version.
constexpr std::uint32_t kStrideCols = kWideTileCols;

// Rows i0 .. i0 + R - 1 and columns j0 .. j0 + 8 V - 1 of the 32-bit sums,
// each packed row read once.
template <std::uint32_t R, std::uint32_t V>
__attribute__((target("avx2"))) void tileAvx2(const std::uint32_t* packed, std::size_t stride,
                                              std::uint32_t pairs, std::uint32_t i0,
                                              std::uint32_t j0, std::int32_t* sums) {
  __m256i acc[R][V];
  for (std::uint32_t r = 0; r < R; ++r)
    for (std::uint32_t v = 0; v < V; ++v)
      acc[r][v] = _mm256_loadu_si256(
          reinterpret_cast<const __m256i*>(sums + (i0 + r) * stride + j0 + 8 * v));
  for (std::uint32_t p = 0; p < pairs; ++p) {
    const std::uint32_t* row = packed + p * stride;
    __m256i b[V];
    for (std::uint32_t v = 0; v < V; ++v)
      b[v] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + j0 + 8 * v));
    for (std::uint32_t r = 0; r < R; ++r) {
      const __m256i a = _mm256_set1_epi32(static_cast<int>(row[i0 + r]));
      for (std::uint32_t v = 0; v < V; ++v)
        acc[r][v] = _mm256_add_epi32(acc[r][v], _mm256_madd_epi16(a, b[v]));
    }
  }
  for (std::uint32_t r = 0; r < R; ++r)
    for (std::uint32_t v = 0; v < V; ++v)
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + (i0 + r) * stride + j0 + 8 * v),
                          acc[r][v]);
}

// The last rows when the tile height does not divide the stride.
__attribute__((target("avx2"))) void remainderAvx2(const std::uint32_t* packed, std::size_t stride,
                                                   std::uint32_t pairs, std::uint32_t i0,
                                                   std::uint32_t rows, std::uint32_t j0,
                                                   std::int32_t* sums) {
  for (std::uint32_t r = 0; r < rows; ++r)
    tileAvx2<1, kTileVectors>(packed, stride, pairs, i0 + r, j0, sums);
}

// Every tile that reaches the upper triangle.
__attribute__((target("avx2"))) void addAvx2(const std::uint32_t* packed, std::uint32_t m,
                                             std::uint32_t stride, std::uint32_t pairs,
                                             std::int32_t* sums) {
  for (std::uint32_t i0 = 0; i0 < m; i0 += kTileRows) {
    const std::uint32_t rows = std::min(kTileRows, m - i0);
    for (std::uint32_t j0 = i0 / kTileCols * kTileCols; j0 < stride; j0 += kTileCols) {
      if (rows == kTileRows)
        tileAvx2<kTileRows, kTileVectors>(packed, stride, pairs, i0, j0, sums);
      else
        remainderAvx2(packed, stride, pairs, i0, rows, j0, sums);
    }
  }
}

// As tileAvx2, sixteen columns at a time.
template <std::uint32_t R>
__attribute__((target("avx512f,avx512bw"))) void tileAvx512(const std::uint32_t* packed,
                                                            std::size_t stride, std::uint32_t pairs,
                                                            std::uint32_t i0, std::uint32_t j0,
                                                            std::int32_t* sums) {
  __m512i acc[R];
  for (std::uint32_t r = 0; r < R; ++r) acc[r] = _mm512_loadu_si512(sums + (i0 + r) * stride + j0);
  for (std::uint32_t p = 0; p < pairs; ++p) {
    const std::uint32_t* row = packed + p * stride;
    const __m512i b = _mm512_loadu_si512(row + j0);
    for (std::uint32_t r = 0; r < R; ++r) {
      const __m512i a = _mm512_set1_epi32(static_cast<int>(row[i0 + r]));
      acc[r] = _mm512_add_epi32(acc[r], _mm512_madd_epi16(a, b));
    }
  }
  for (std::uint32_t r = 0; r < R; ++r) _mm512_storeu_si512(sums + (i0 + r) * stride + j0, acc[r]);
}

__attribute__((target("avx512f,avx512bw"))) void addAvx512(const std::uint32_t* packed,
                                                           std::uint32_t m, std::uint32_t stride,
                                                           std::uint32_t pairs,
                                                           std::int32_t* sums) {
  for (std::uint32_t i0 = 0; i0 < m; i0 += kTileRows) {
    const std::uint32_t rows = std::min(kTileRows, m - i0);
    for (std::uint32_t j0 = i0 / kWideTileCols * kWideTileCols; j0 < stride; j0 += kWideTileCols) {
      if (rows == kTileRows) {
        tileAvx512<kTileRows>(packed, stride, pairs, i0, j0, sums);
        continue;
      }
      for (std::uint32_t r = 0; r < rows; ++r)
        tileAvx512<1>(packed, stride, pairs, i0 + r, j0, sums);
    }
  }
}

using AddKernel = void (*)(const std::uint32_t* packed, std::uint32_t m, std::uint32_t stride,
                           std::uint32_t pairs, std::int32_t* sums);
// The 32-bit versions; below AVX2 the sums are kept in 64 bits directly.
const LevelKernel<AddKernel> kAdd{nullptr, addAvx2, addAvx512};

std::int64_t lowHalf(std::uint32_t w) { return static_cast<std::int16_t>(w & 0xFFFFu); }
std::int64_t highHalf(std::uint32_t w) { return static_cast<std::int16_t>(w >> 16); }

void addPortable(const std::uint32_t* packed, std::uint32_t stride, std::uint32_t m,
                 std::uint32_t pairs, std::int64_t* sums) {
  for (std::uint32_t p = 0; p < pairs; ++p) {
    const std::uint32_t* row = packed + static_cast<std::size_t>(p) * stride;
    for (std::uint32_t i = 0; i < m; ++i) {
      const std::int64_t a = lowHalf(row[i]);
      const std::int64_t b = highHalf(row[i]);
      std::int64_t* out = sums + static_cast<std::size_t>(i) * stride;
      for (std::uint32_t j = i; j < m; ++j) out[j] += a * lowHalf(row[j]) + b * highHalf(row[j]);
    }
  }
}

}  // namespace

PairGram::PairGram(std::uint32_t m)
    : m_(m),
      stride_((m + kStrideCols - 1) / kStrideCols * kStrideCols),
      add32_(kAdd.current()),
      vector_(add32_ != nullptr) {}

void PairGram::allocate() {
  // On first use only: a gram that only gathers others (or stays empty)
  // never touches sums of its own.
  if (!sums64_.empty()) return;
  const std::size_t size = static_cast<std::size_t>(stride_) * stride_;
  if (vector_) sums32_.assign(size, 0);
  sums64_.assign(size, 0);
}

void PairGram::add(const std::uint32_t* packed, std::uint32_t pairs) {
  allocate();
  if (!vector_) {
    addPortable(packed, stride_, m_, pairs, sums64_.data());
    return;
  }
  const std::uint32_t chunk = std::max<std::uint32_t>(1, kChunkBytes / (stride_ * 4));
  for (std::uint32_t p = 0; p < pairs;) {
    const std::uint32_t count = std::min(chunk, pairs - p);
    if (pending_ + count > kMaxPendingPairs) flush();
    add32_(packed + static_cast<std::size_t>(p) * stride_, m_, stride_, count, sums32_.data());
    pending_ += count;
    p += count;
  }
}

void PairGram::flush() {
  if (pending_ == 0) return;
  for (std::uint32_t i = 0; i < m_; ++i) {
    const std::size_t row = static_cast<std::size_t>(i) * stride_;
    for (std::uint32_t j = i; j < m_; ++j) sums64_[row + j] += sums32_[row + j];
  }
  // The tiles also sum below the diagonal: clear everything.
  std::fill(sums32_.begin(), sums32_.end(), 0);
  pending_ = 0;
}

void PairGram::merge(PairGram& other) {
  other.flush();
  if (other.sums64_.empty()) return;
  if (sums64_.empty()) {
    sums64_.swap(other.sums64_);
    return;
  }
  for (std::uint32_t i = 0; i < m_; ++i) {
    const std::size_t row = static_cast<std::size_t>(i) * stride_;
    for (std::uint32_t j = i; j < m_; ++j) sums64_[row + j] += other.sums64_[row + j];
  }
}

const std::vector<std::int64_t>& PairGram::upper() {
  allocate();
  flush();
  return sums64_;
}

}  // namespace KPX
