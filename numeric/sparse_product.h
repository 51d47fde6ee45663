// The product of a mostly-zero left operand (decoded coefficients: most are
// quantised to 0) with a dense right one, skipping the zeros.
#pragma once

#include <cstddef>
#include <cstdint>

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

}  // namespace KPX
