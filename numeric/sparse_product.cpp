#include "numeric/sparse_product.h"

#include <immintrin.h>

#include <algorithm>
#include <new>
#include <vector>

#include "numeric/cpu_features.h"
#include "numeric/multiply.h"

namespace KPX {
namespace {

// out[j] = sum over the listed terms t (in order) of value[t] * b[index[t]][j],
// with one rounding per multiply-add, as the AVX kernels do. A block of
// columns at a time stays in registers while the terms run past them.
__attribute__((target("avx2,fma"))) void fusedRow(const std::uint32_t* index, const double* value,
                                                  std::uint32_t terms, const Matrix<double>& b,
                                                  double* out) {
  const std::uint32_t p = b.cols();
  const double* base = b.data();
  std::uint32_t j = 0;
  // Forty-eight columns: twelve accumulators and the broadcast value fill
  // the sixteen registers, so each term's index is read a quarter as often.
  for (; j + 48 <= p; j += 48) {
    __m256d acc[12];
    for (__m256d& a : acc) a = _mm256_setzero_pd();
    for (std::uint32_t t = 0; t < terms; ++t) {
      const __m256d x = _mm256_broadcast_sd(value + t);
      const double* row = base + static_cast<std::size_t>(index[t]) * p + j;
      for (int k = 0; k < 12; ++k)
        acc[k] = _mm256_fmadd_pd(x, _mm256_loadu_pd(row + 4 * k), acc[k]);
    }
    for (int k = 0; k < 12; ++k) _mm256_storeu_pd(out + j + 4 * k, acc[k]);
  }
  for (; j + 16 <= p; j += 16) {
    __m256d a0 = _mm256_setzero_pd();
    __m256d a1 = _mm256_setzero_pd();
    __m256d a2 = _mm256_setzero_pd();
    __m256d a3 = _mm256_setzero_pd();
    for (std::uint32_t t = 0; t < terms; ++t) {
      const __m256d x = _mm256_broadcast_sd(value + t);
      const double* row = base + static_cast<std::size_t>(index[t]) * p + j;
      a0 = _mm256_fmadd_pd(x, _mm256_loadu_pd(row), a0);
      a1 = _mm256_fmadd_pd(x, _mm256_loadu_pd(row + 4), a1);
      a2 = _mm256_fmadd_pd(x, _mm256_loadu_pd(row + 8), a2);
      a3 = _mm256_fmadd_pd(x, _mm256_loadu_pd(row + 12), a3);
    }
    _mm256_storeu_pd(out + j, a0);
    _mm256_storeu_pd(out + j + 4, a1);
    _mm256_storeu_pd(out + j + 8, a2);
    _mm256_storeu_pd(out + j + 12, a3);
  }
  for (; j + 4 <= p; j += 4) {
    __m256d a0 = _mm256_setzero_pd();
    for (std::uint32_t t = 0; t < terms; ++t) {
      const double* row = base + static_cast<std::size_t>(index[t]) * p + j;
      a0 = _mm256_fmadd_pd(_mm256_broadcast_sd(value + t), _mm256_loadu_pd(row), a0);
    }
    _mm256_storeu_pd(out + j, a0);
  }
  for (; j < p; ++j) {
    __m128d a0 = _mm_setzero_pd();
    for (std::uint32_t t = 0; t < terms; ++t) {
      const double* row = base + static_cast<std::size_t>(index[t]) * p + j;
      a0 = _mm_fmadd_sd(_mm_set_sd(value[t]), _mm_set_sd(*row), a0);
    }
    out[j] = _mm_cvtsd_f64(a0);
  }
}

// The same with product and sum rounded separately, as the portable kernel.
void separateRow(const std::uint32_t* index, const double* value, std::uint32_t terms,
                 const Matrix<double>& b, double* out) {
  const std::uint32_t p = b.cols();
  fill(out, 0.0, p);
  for (std::uint32_t t = 0; t < terms; ++t) {
    const double* row = b[index[t]];
    for (std::uint32_t j = 0; j < p; ++j) {
      const double product = value[t] * row[j];
      out[j] = out[j] + product;
    }
  }
}

// The non-zero terms of one row of the left operand, in order; returns
// their count.
template <class T>
std::uint32_t gatherTerms(const T* left, std::uint32_t inner, std::uint32_t* index, double* value) {
  std::uint32_t terms = 0;
  for (std::uint32_t k = 0; k < inner; ++k) {
    if (left[k] == 0) continue;
    index[terms] = k;
    value[terms] = static_cast<double>(left[k]);
    ++terms;
  }
  return terms;
}

// For each pattern of 8 present lanes, the positions of the present ones
// first, in order.
struct LanePositions {
  alignas(8) std::uint8_t at[256][8];
  LanePositions() {
    for (unsigned mask = 0; mask < 256; ++mask) {
      unsigned n = 0;
      for (unsigned lane = 0; lane < 8; ++lane)
        if ((mask >> lane) & 1u) at[mask][n++] = static_cast<std::uint8_t>(lane);
      while (n < 8) at[mask][n++] = 0;
    }
  }
};
const LanePositions kLanePositions;

// The same for integers, eight at a time and without branches on the data:
// one comparison finds the zeros, a table packs the rest to the front and
// all eight lanes are stored, of which the present ones are kept (index and
// value hold inner + 8 entries).
__attribute__((target("avx2"))) std::uint32_t gatherTermsAvx2(const std::int32_t* left,
                                                              std::uint32_t inner,
                                                              std::uint32_t* index, double* value) {
  std::uint32_t terms = 0;
  std::uint32_t k = 0;
  const __m256i zero = _mm256_setzero_si256();
  for (; k + 8 <= inner; k += 8) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(left + k));
    const int zeros = _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(v, zero)));
    const auto present = static_cast<unsigned>(~zeros & 0xFF);
    const __m256i lanes = _mm256_cvtepu8_epi32(
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kLanePositions.at[present])));
    const __m256i packed = _mm256_permutevar8x32_epi32(v, lanes);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(index + terms),
                        _mm256_add_epi32(lanes, _mm256_set1_epi32(static_cast<int>(k))));
    _mm256_storeu_pd(value + terms, _mm256_cvtepi32_pd(_mm256_castsi256_si128(packed)));
    _mm256_storeu_pd(value + terms + 4, _mm256_cvtepi32_pd(_mm256_extracti128_si256(packed, 1)));
    terms += static_cast<std::uint32_t>(__builtin_popcount(present));
  }
  for (; k < inner; ++k) {
    if (left[k] == 0) continue;
    index[terms] = k;
    value[terms] = static_cast<double>(left[k]);
    ++terms;
  }
  return terms;
}

// The versions of each kernel by vector level (numeric/cpu_features.h).
using RowKernel = void (*)(const std::uint32_t* index, const double* value, std::uint32_t terms,
                           const Matrix<double>& b, double* out);
const LevelKernel<RowKernel> kRow{separateRow, fusedRow};

template <class T>
using GatherKernel = std::uint32_t (*)(const T* left, std::uint32_t inner, std::uint32_t* index,
                                       double* value);
const LevelKernel<GatherKernel<double>> kGatherDoubles{gatherTerms<double>};
const LevelKernel<GatherKernel<std::int32_t>> kGatherInts{gatherTerms<std::int32_t>,
                                                          gatherTermsAvx2};
const LevelKernel<GatherKernel<double>>& gatherKernel(const double*) { return kGatherDoubles; }
const LevelKernel<GatherKernel<std::int32_t>>& gatherKernel(const std::int32_t*) {
  return kGatherInts;
}

template <class T>
void sparseStrip(const T* a, std::size_t lda, std::uint32_t rows, const Matrix<double>& b,
                 double* c) {
  const std::uint32_t inner = b.rows();
  const std::uint32_t p = b.cols();
  const VectorLevel level = vectorLevel();
  const GatherKernel<T> gather = gatherKernel(a).at(level);
  const RowKernel row = kRow.at(level);
  // Eight spare entries for the branch-free gathering.
  std::vector<std::uint32_t> index(inner + 8);
  std::vector<double> value(inner + 8);
  for (std::uint32_t r = 0; r < rows; ++r) {
    const std::uint32_t terms = gather(a + r * lda, inner, index.data(), value.data());
    row(index.data(), value.data(), terms, b, c + static_cast<std::size_t>(r) * p);
  }
}

constexpr std::uint32_t kPanelColumns = 32;
// The first-level data cache of the smaller cores.
constexpr std::size_t kPanelBytes = 32 * 1024;

// Rows first .. first + count - 1 of terms times one panel: each element is
// the chain of fusedRow, eight accumulators at a time. Only the panel's
// first `columns` columns are stored.
__attribute__((target("avx2,fma"))) void panelRows(const SparseRows& terms, std::uint32_t first,
                                                   std::uint32_t count, const double* panel,
                                                   std::uint32_t columns, double* c,
                                                   std::size_t ldc) {
  constexpr int kAccumulators = kPanelColumns / 4;
  const std::uint32_t* index = terms.index.data();
  const double* value = terms.value.data();
  std::uint32_t from = first == 0 ? 0 : terms.end[first - 1];
  alignas(32) double partial[kPanelColumns];
  for (std::uint32_t r = 0; r < count; ++r) {
    const std::uint32_t end = terms.end[first + r];
    __m256d acc[kAccumulators];
    for (__m256d& a : acc) a = _mm256_setzero_pd();
    for (std::uint32_t t = from; t < end; ++t) {
      const __m256d x = _mm256_broadcast_sd(value + t);
      const double* row = panel + static_cast<std::size_t>(index[t]) * kPanelColumns;
      for (int k = 0; k < kAccumulators; ++k)
        acc[k] = _mm256_fmadd_pd(x, _mm256_load_pd(row + 4 * k), acc[k]);
    }
    double* out = c + r * ldc;
    if (columns == kPanelColumns) {
      for (int k = 0; k < kAccumulators; ++k) _mm256_storeu_pd(out + 4 * k, acc[k]);
    } else {
      for (int k = 0; k < kAccumulators; ++k) _mm256_store_pd(partial + 4 * k, acc[k]);
      std::copy(partial, partial + columns, out);
    }
    from = end;
  }
}

}  // namespace

void SparsePanels::Free::operator()(double* p) const {
  ::operator delete[](p, std::align_val_t{32});
}

SparsePanels::SparsePanels(const Matrix<double>& b) : rows_(b.rows()) {
  const std::uint32_t p = b.cols();
  if (rows_ == 0 || p == 0 || std::size_t{rows_} * kPanelColumns * sizeof(double) > kPanelBytes)
    return;
  const std::uint32_t panels = (p + kPanelColumns - 1) / kPanelColumns;
  const std::size_t count = std::size_t{panels} * rows_ * kPanelColumns;
  data_.reset(static_cast<double*>(
      ::operator new[](count * sizeof(double), std::align_val_t{32}, std::nothrow)));
  if (!data_) return;  // the product runs row by row instead
  double* to = data_.get();
  for (std::uint32_t j = 0; j < p; j += kPanelColumns) {
    const std::uint32_t width = std::min(kPanelColumns, p - j);
    for (std::uint32_t k = 0; k < rows_; ++k, to += kPanelColumns) {
      std::copy(b[k] + j, b[k] + j + width, to);
      std::fill(to + width, to + kPanelColumns, 0.0);
    }
  }
}

const double* SparsePanels::panel(std::uint32_t k) const {
  return data_.get() + std::size_t{k} * rows_ * kPanelColumns;
}

void multiplySparseRows(const SparseRows& terms, std::uint32_t first, std::uint32_t count,
                        const Matrix<double>& b, const SparsePanels& panels, double* c,
                        std::size_t ldc) {
  const std::uint32_t p = b.cols();
  // The portable kernel rounds product and sum apart: only the row path has it.
  if (panels.empty() || vectorLevel() == VectorLevel::Portable) {
    std::uint32_t from = first == 0 ? 0 : terms.end[first - 1];
    for (std::uint32_t r = 0; r < count; ++r) {
      const std::uint32_t end = terms.end[first + r];
      multiplySparseTerms(terms.index.data() + from, terms.value.data() + from, end - from, b,
                          c + r * ldc);
      from = end;
    }
    return;
  }
  for (std::uint32_t j = 0, k = 0; j < p; j += kPanelColumns, ++k)
    panelRows(terms, first, count, panels.panel(k), std::min(kPanelColumns, p - j), c + j, ldc);
}

void multiplySparseStrip(const double* a, std::size_t lda, std::uint32_t rows,
                         const Matrix<double>& b, double* c) {
  sparseStrip(a, lda, rows, b, c);
}

void multiplySparseTerms(const std::uint32_t* index, const double* value, std::uint32_t terms,
                         const Matrix<double>& b, double* out) {
  kRow.current()(index, value, terms, b, out);
}

void multiplySparseStrip(const std::int32_t* a, std::size_t lda, std::uint32_t rows,
                         const Matrix<double>& b, double* c) {
  sparseStrip(a, lda, rows, b, c);
}

}  // namespace KPX
