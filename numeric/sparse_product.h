// The product of a mostly-zero left operand (decoded coefficients: most are
// quantised to 0) with a dense right one, skipping the zeros.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "numeric/matrix.h"

namespace KPX {

// c = the rows x b.rows() block a (row stride lda) times b, written with row
// stride b.cols(), on the calling thread alone. Bit for bit equal to
// multiplyStrip with the same kernel: every element is the same chain of
// multiply-adds over the inner index in increasing order, less the terms
// 0 * b, which change no sum of finite values.
void multiplySparseStrip(const double* a, std::size_t lda, std::uint32_t rows,
                         const Matrix<double>& b, double* c);
// The same for integer coefficients, each converted to double exactly.
void multiplySparseStrip(const std::int32_t* a, std::size_t lda, std::uint32_t rows,
                         const Matrix<double>& b, double* c);

// The non-zero entries of consecutive rows of a left operand: row r's are
// index[end[r - 1]] .. index[end[r] - 1] (from 0 for the first row), with
// their values, in increasing column order.
struct SparseRows {
  std::vector<std::uint32_t> index;
  std::vector<double> value;
  std::vector<std::uint32_t> end;
};

// out (b.cols() values) = the row whose non-zero entries are the terms
// times b, with the kernel and the order of multiplySparseStrip: the same
// bits as that row of its result.
void multiplySparseTerms(const std::uint32_t* index, const double* value, std::uint32_t terms,
                         const Matrix<double>& b, double* out);

// b cut into panels of 32 columns, each panel's rows one after another (the
// last panel padded with zero columns), so that a panel stays in the
// first-level cache while the terms of many rows run past it. Made only
// where a panel fits that cache; otherwise empty.
class SparsePanels {
 public:
  explicit SparsePanels(const Matrix<double>& b);
  bool empty() const { return data_ == nullptr; }
  const double* panel(std::uint32_t k) const;

 private:
  struct Free {
    void operator()(double* p) const;
  };
  std::unique_ptr<double, Free> data_;
  std::uint32_t rows_ = 0;
};

// Rows first .. first + count - 1 of terms times b into c (row stride ldc),
// panel by panel where panels (made from b) are not empty: the same bits
// as multiplySparseTerms row by row.
void multiplySparseRows(const SparseRows& terms, std::uint32_t first, std::uint32_t count,
                        const Matrix<double>& b, const SparsePanels& panels, double* c,
                        std::size_t ldc);

}  // namespace KPX
